// inet_bench_client: the client beside curl against lighttpd on 127.0.0.1.
//
//   inet_bench_client QUARGET [--size-mb N] [--rounds N] [--requests N]
//
// 1. Download of an N MB file: `quarget -o /dev/null` and `curl -s -o /dev/null`, one after the
//    other in each round; throughput (MB/s) and peak memory of each, medians, and the ratio.
//    Exits 1 when quarget's median throughput is below 0.9x curl's or its peak memory above
//    2.1x the body.
// 2. N small requests in sequence and from 8 threads through the library in this process (its
//    socket transport, and the browser-settings one where libquarwininet.so is built), and the
//    same N URLs fetched by one curl, sequentially and with --parallel-max 8: requests per
//    second of each (curl keeps its connections open; the library's HTTP/1.0 does not).
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FileBytes.h"
#include "QuarInet.h"
#include "TestData.h"
#include "WebSite.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct ChildRun {
    int status = -1;
    double seconds = 0;
    double peakMb = 0;
};

// Runs `args`; its peak memory comes from GNU time, which starts it from a small process of
// its own (a child started from this one would count this process's memory as its own).
ChildRun Spawn(const std::vector<std::string>& args, const std::string& peakFile = "") {
    std::vector<std::string> command = args;
    if (!peakFile.empty()) {
        command.insert(command.begin(), {"/usr/bin/time", "-f", "%M", "-o", peakFile});
    }
    std::vector<char*> argv;
    for (const std::string& arg : command) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    ChildRun run;
    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0) {
        waitpid(pid, &run.status, 0);
        run.seconds = Seconds(start);
    }
    if (!peakFile.empty()) {
        run.peakMb = atof(ReadFile(peakFile).c_str()) / 1024.0;
    }
    return run;
}

// `count` GETs of `path`, spread over `threads` threads, each request made, sent, received and
// deleted in turn, through the socket transport or with the browser's settings. Returns
// requests per second, or 0 when the browser-settings transport is not there; exits on any
// failure.
double LibraryRate(uint16_t port, const char* path, int count, int threads, bool browser) {
    QuarInetHttpConnection connection("bench");
    connection.Configure(browser ? 1 : 0, 0, "", 80, 0, "", "");
    if (browser &&
        dynamic_cast<QuarInetHttpRequestWinInetImpl*>(
            std::unique_ptr<QuarInetHttpRequest>(connection.CreateRequest(nullptr)).get()) ==
            nullptr) {
        return 0;
    }
    std::atomic<int> failures{0};
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = t; i < count; i += threads) {
                std::unique_ptr<QuarInetHttpRequest> request(connection.CreateRequest(nullptr));
                char* headers = nullptr;
                char* body = nullptr;
                uint32_t headersLength = 0, bodyLength = 0;
                uint32_t rc = request->Send("127.0.0.1", port, "GET", path, nullptr, 0, nullptr, 0);
                if (rc == 0) {
                    rc = request->Receive(headers, headersLength, body, bodyLength);
                }
                QuarInetFree(headers);
                QuarInetFree(body);
                failures += rc != 0;
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    const double seconds = Seconds(start);
    if (failures.load() != 0) {
        fprintf(stderr, "%d requests failed\n", failures.load());
        exit(2);
    }
    return count / seconds;
}

double CurlRate(const std::string& config, int count, bool parallel) {
    std::vector<std::string> args = {"curl", "-s", "-K", config};
    if (parallel) {
        args.insert(args.end(), {"--parallel", "--parallel-max", "8"});
    }
    const ChildRun run = Spawn(args);
    if (run.status != 0) {
        fprintf(stderr, "curl failed\n");
        exit(2);
    }
    return count / run.seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr,
                "usage: inet_bench_client QUARGET [--size-mb N] [--rounds N] "
                "[--requests N]\n");
        return 2;
    }
    const std::string quarget = argv[1];
    size_t sizeMb = 100;
    int rounds = 3;
    int requests = 1000;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--size-mb") == 0) {
            sizeMb = strtoul(argv[i + 1], nullptr, 10);
        } else if (strcmp(argv[i], "--rounds") == 0) {
            rounds = atoi(argv[i + 1]);
        } else if (strcmp(argv[i], "--requests") == 0) {
            requests = atoi(argv[i + 1]);
        }
    }
    TempDir scratch;
    setenv("QUAR_USER_REGISTRY", (scratch / "user.reg").c_str(), 1);
    unsetenv("http_proxy");
    WebSite web({{"big.bin", Noise(sizeMb << 20)}, {"small.txt", "small response body\n"}});
    const std::string url = "http://127.0.0.1:" + std::to_string(web.port()) + "/big.bin";
    // quarget's settings: a direct connection.
    QuarInetHttpConnection("quarget").Configure(0, 0, "", 80, 0, "", "");

    std::vector<double> ours, theirs, ourPeak, theirPeak;
    printf("download of %zu MB, %d rounds\n", sizeMb, rounds);
    for (int r = 0; r < rounds; ++r) {
        const ChildRun q = Spawn({quarget, "-o", "/dev/null", url}, scratch / "peak");
        const ChildRun c = Spawn({"curl", "-s", "-o", "/dev/null", url}, scratch / "peak");
        if (q.status != 0 || c.status != 0) {
            fprintf(stderr, "a download failed (quarget %d, curl %d)\n", q.status, c.status);
            return 2;
        }
        ours.push_back(sizeMb / q.seconds);
        theirs.push_back(sizeMb / c.seconds);
        ourPeak.push_back(q.peakMb);
        theirPeak.push_back(c.peakMb);
        printf("  round %d: quarget %7.1f MB/s (peak %6.1f MB), curl %7.1f MB/s (peak %5.1f MB)\n",
               r + 1, ours.back(), q.peakMb, theirs.back(), c.peakMb);
    }
    const double ratio = Median(ours) / Median(theirs);
    const double memory = Median(ourPeak) / static_cast<double>(sizeMb);
    printf("  median: quarget %.1f MB/s, curl %.1f MB/s, ratio %.2f; quarget peak %.2fx the body\n",
           Median(ours), Median(theirs), ratio, memory);

    const std::string config = scratch / "urls.txt";
    std::string lines;
    const std::string small = "http://127.0.0.1:" + std::to_string(web.port()) + "/small.txt";
    for (int i = 0; i < requests; ++i) {
        lines += "url = \"" + small + "\"\noutput = \"/dev/null\"\n";
    }
    WriteFile(config, lines);
    printf("%d small requests (requests per second)\n", requests);
    for (const int threads : {1, 8}) {
        printf("  %-11s library %8.0f (with the browser's settings %8.0f), curl %8.0f%s\n",
               threads == 1 ? "sequential:" : "8 threads:",
               LibraryRate(web.port(), "/small.txt", requests, threads, false),
               LibraryRate(web.port(), "/small.txt", requests, threads, true),
               CurlRate(config, requests, threads > 1), threads > 1 ? " (--parallel-max 8)" : "");
    }
    return ratio >= 0.9 && memory <= 2.1 ? 0 : 1;
}
