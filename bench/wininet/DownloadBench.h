// The frame of the download benchmarks: a file served by lighttpd on 127.0.0.1, downloaded in
// turns by the subject and by `curl -s -o /dev/null` in the same run; the best time of each,
// their throughput ratio, CPU time and peak memory.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct DownloadBench {
    const char* subject;  // its name in the figures
    // Called once with the scratch folder before the server starts.
    std::function<void(const std::string& dir)> prepare;
    // Downloads "/big.bin" from 127.0.0.1:`port`; answers the bytes received.
    std::function<uint64_t(int port)> download;
};

// Runs the benchmark with the command line's --size-mb (default 100) and --rounds (default 3).
// Answers the exit status: 0 when the subject reaches at least 0.9 of curl's throughput.
int RunDownloadBench(const DownloadBench& bench, int argc, char** argv);
