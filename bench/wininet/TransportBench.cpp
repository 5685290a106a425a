// A large download through the browser-settings transport (CreateRequest, then OpenUrl over
// libquarwininet.so) beside curl (see DownloadBench.h).
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "DownloadBench.h"
#include "QuarInet.h"

namespace {

constexpr const char* kSettingsKey = "TransportBench";

// One download as a client makes it; answers the body's length, or 0 on failure.
uint64_t TransportDownload(int port) {
    QuarInetHttpConnection connection(kSettingsKey);
    std::unique_ptr<QuarInetHttpRequest> request(connection.CreateRequest(nullptr));
    if (dynamic_cast<QuarInetHttpRequestWinInetImpl*>(request.get()) == nullptr) {
        std::fprintf(stderr, "the browser-settings transport is not available\n");
        std::exit(1);
    }
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t headersLength = 0, bodyLength = 0, result = 1;
    QuarInetThread thread =
        request->OpenUrl("127.0.0.1", static_cast<uint32_t>(port), "GET", "/big.bin", nullptr, 0,
                         nullptr, 0, &headers, &headersLength, &body, &bodyLength, &result);
    QuarInetWaitForThread(thread, QUARINET_INFINITE);
    QuarInetCloseThread(thread);
    QuarInetFree(headers);
    QuarInetFree(body);
    if (result != 0) {
        std::fprintf(stderr, "download failed: %u\n", result);
        return 0;
    }
    return bodyLength;
}

}  // namespace

int main(int argc, char** argv) {
    // Settings of our own that ask for the browser's settings (no proxy there).
    auto prepare = [](const std::string& dir) {
        std::ofstream(dir + "/user.reg") << "REGEDIT4\n\n";
        setenv("QUAR_USER_REGISTRY", (dir + "/user.reg").c_str(), 1);
        unsetenv("http_proxy");
        QuarInetHttpConnection(kSettingsKey).Configure(1, 0, "", 80, 0, "", "");
    };
    return RunDownloadBench({"transport", prepare, TransportDownload}, argc, argv);
}
