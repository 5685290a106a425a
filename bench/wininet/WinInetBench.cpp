// A large download through libquarwininet.so's entry points beside curl (see DownloadBench.h).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "DownloadBench.h"
#include "LayerLibrary.h"

namespace {

// Downloads through the entry points, reading as the transport does; answers the byte count.
uint64_t LayerDownload(const LayerLibrary& lib, int port) {
    LayerHandle session(lib, lib.InternetOpenA("QuarInet", 1, nullptr, nullptr, 0));
    LayerHandle connection(
        lib, lib.InternetConnectA(session.get(), "127.0.0.1", port, nullptr, nullptr, 3, 0, 0));
    LayerHandle request(lib, lib.HttpOpenRequestA(connection.get(), "GET", "/big.bin", "HTTP/1.0",
                                                  nullptr, nullptr, 0x04400000, 0));
    if (!lib.HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) {
        std::fprintf(stderr, "send failed: %u\n", lib.GetLastError());
        std::exit(1);
    }
    std::vector<char> buffer;
    uint64_t total = 0;
    for (;;) {
        uint32_t available = 0;
        uint32_t read = 0;
        if (!lib.InternetQueryDataAvailable(request.get(), &available, 0, 0)) {
            break;
        }
        buffer.resize(std::max<std::size_t>(buffer.size(), available));
        if (!lib.InternetReadFile(request.get(), buffer.data(), available, &read) || read == 0) {
            break;
        }
        total += read;
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    LayerLibrary lib(QUAR_WININET_PATH);
    return RunDownloadBench({"layer", nullptr, [&](int port) { return LayerDownload(lib, port); }},
                            argc, argv);
}
