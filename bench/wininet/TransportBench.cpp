// A large download through the browser-settings transport (CreateRequest, then OpenUrl over
// libquarwininet.so) beside `curl -s -o /dev/null` on the same lighttpd in the same run:
// throughput of both, their ratio, and peak memory. Fails when the transport reaches less than
// 0.9 of curl's throughput.
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "LoopbackServers.h"
#include "QuarInet.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kLeastRatio = 0.9;
constexpr const char* kSettingsKey = "TransportBench";

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

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

// Runs curl on the URL; answers its peak resident size in kB and adds its CPU time to `cpu`.
long CurlDownload(const std::string& url, double* cpu) {
    const pid_t pid = fork();
    if (pid == 0) {
        execlp("curl", "curl", "-s", "-o", "/dev/null", url.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "curl failed\n");
        std::exit(1);
    }
    *cpu += CpuSeconds(usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    int sizeMb = 100;
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--size-mb") == 0) {
            sizeMb = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::atoi(argv[i + 1]);
        }
    }
    std::string dir = (std::filesystem::temp_directory_path() / "transport-bench-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) {
        return 1;
    }
    {
        std::filesystem::create_directories(dir + "/www");
        std::ofstream out(dir + "/www/big.bin", std::ios::binary);
        std::vector<char> block(1 << 20);
        for (std::size_t i = 0; i < block.size(); ++i) {
            block[i] = static_cast<char>(i * 2654435761u >> 24);
        }
        for (int i = 0; i < sizeMb; ++i) {
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
        std::ofstream(dir + "/user.reg") << "REGEDIT4\n\n";
    }
    // Settings of our own that ask for the browser's settings (no proxy there).
    setenv("QUAR_USER_REGISTRY", (dir + "/user.reg").c_str(), 1);
    unsetenv("http_proxy");
    QuarInetHttpConnection(kSettingsKey).Configure(1, 0, "", 80, 0, "", "");

    const uint64_t bytes = static_cast<uint64_t>(sizeMb) << 20;
    double bestTransport = 1e9;
    double bestCurl = 1e9;
    long curlPeakKb = 0;
    double transportCpu = 0;
    double curlCpu = 0;
    {
        Lighttpd server(dir, dir + "/www", FreeLoopbackPort(), {}, "");
        const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/big.bin";
        for (int round = 0; round < rounds; ++round) {
            Clock::time_point start = Clock::now();
            rusage before{};
            getrusage(RUSAGE_SELF, &before);
            if (TransportDownload(server.port()) != bytes) {
                std::fprintf(stderr, "short download through the transport\n");
                return 1;
            }
            rusage after{};
            getrusage(RUSAGE_SELF, &after);
            transportCpu += CpuSeconds(after) - CpuSeconds(before);
            bestTransport = std::min(bestTransport, Seconds(Clock::now() - start));
            start = Clock::now();
            curlPeakKb = std::max(curlPeakKb, CurlDownload(url, &curlCpu));
            bestCurl = std::min(bestCurl, Seconds(Clock::now() - start));
        }
    }
    std::filesystem::remove_all(dir);
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    const double mb = static_cast<double>(bytes) / (1 << 20);
    const double ratio = bestCurl / bestTransport;
    std::printf("%d MB, best of %d rounds\n", sizeMb, rounds);
    std::printf(
        "transport: %.0f MB/s, %.1f ms CPU per download, peak RSS of this process %ld kB "
        "(the body is held in memory)\n",
        mb / bestTransport, transportCpu * 1000 / rounds, self.ru_maxrss);
    std::printf("curl:      %.0f MB/s, %.1f ms CPU per download, peak RSS %ld kB\n", mb / bestCurl,
                curlCpu * 1000 / rounds, curlPeakKb);
    std::printf("throughput ratio transport/curl: %.2f\n", ratio);
    return ratio >= kLeastRatio ? 0 : 1;
}
