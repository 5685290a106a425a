#include "DownloadBench.h"

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
#include <vector>

#include "support/LoopbackServers.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kLeastRatio = 0.9;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double SelfCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return CpuSeconds(usage);
}

// Page faults cost dearly on a virtual machine: the bench counts them beside the time.
long SelfPageFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// Runs curl on the URL, writing the body to `output`; answers its peak resident size in kB and
// adds its CPU time to `cpu`.
long CurlDownload(const std::string& url, const std::string& output, double* cpu,
                  long* faults = nullptr) {
    const pid_t pid = fork();
    if (pid == 0) {
        execlp("curl", "curl", "-s", "-o", output.c_str(), url.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "curl failed\n");
        std::exit(1);
    }
    *cpu += CpuSeconds(usage);
    if (faults != nullptr) {
        *faults += usage.ru_minflt + usage.ru_majflt;
    }
    return usage.ru_maxrss;
}

void WriteBigFile(const std::string& path, int sizeMb) {
    std::ofstream out(path, std::ios::binary);
    std::vector<char> block(1 << 20);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<char>(i * 2654435761u >> 24);
    }
    for (int i = 0; i < sizeMb; ++i) {
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

}  // namespace

int RunDownloadBench(const DownloadBench& bench, int argc, char** argv) {
    int sizeMb = 100;
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--size-mb") == 0) {
            sizeMb = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::atoi(argv[i + 1]);
        }
    }
    if (sizeMb < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: --size-mb N --rounds N, both at least 1\n");
        return 2;
    }
    std::string dir = (std::filesystem::temp_directory_path() / "download-bench-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) {
        return 1;
    }
    std::filesystem::create_directories(dir + "/www");
    WriteBigFile(dir + "/www/big.bin", sizeMb);
    if (bench.prepare) {
        bench.prepare(dir);
    }
    const uint64_t bytes = static_cast<uint64_t>(sizeMb) << 20;
    double bestSubject = 1e9;
    double bestCurl = 1e9;
    // curl keeping the body in memory too (a file in a memory file system): the subject holds
    // the whole body, which curl -o /dev/null never does.
    double bestCurlKeeping = 1e9;
    const std::string kept = "/dev/shm/" + std::filesystem::path(dir).filename().string();
    double keepingCpu = 0;
    long curlPeakKb = 0;
    double subjectCpu = 0;
    double curlCpu = 0;
    long subjectFaults = 0;
    long curlFaults = 0;
    // Each round's own ratio: the rounds' spread on a shared machine shows in their median.
    std::vector<double> roundRatios;
    {
        Lighttpd server(dir + "/www");
        const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/big.bin";
        for (int round = 0; round < rounds; ++round) {
            Clock::time_point start = Clock::now();
            const double cpuBefore = SelfCpuSeconds();
            const long faultsBefore = SelfPageFaults();
            if (bench.download(server.port()) != bytes) {
                std::fprintf(stderr, "short download through the %s\n", bench.subject);
                return 1;
            }
            subjectCpu += SelfCpuSeconds() - cpuBefore;
            subjectFaults += SelfPageFaults() - faultsBefore;
            const double subjectSeconds = Seconds(Clock::now() - start);
            bestSubject = std::min(bestSubject, subjectSeconds);
            start = Clock::now();
            curlPeakKb =
                std::max(curlPeakKb, CurlDownload(url, "/dev/null", &curlCpu, &curlFaults));
            const double curlSeconds = Seconds(Clock::now() - start);
            bestCurl = std::min(bestCurl, curlSeconds);
            roundRatios.push_back(curlSeconds / subjectSeconds);
            std::printf("round %d: %s %.1f ms, curl %.1f ms\n", round + 1, bench.subject,
                        subjectSeconds * 1000, curlSeconds * 1000);
        }
        // Rounds of their own: writing and dropping 100 MB of a memory file system between the
        // others' rounds made the next round's fresh memory slow on a virtual machine.
        for (int round = 0; round < rounds; ++round) {
            const Clock::time_point start = Clock::now();
            CurlDownload(url, kept, &keepingCpu);
            bestCurlKeeping = std::min(bestCurlKeeping, Seconds(Clock::now() - start));
            std::filesystem::remove(kept);
        }
    }
    std::filesystem::remove_all(dir);
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    const double mb = static_cast<double>(bytes) / (1 << 20);
    const double ratio = bestCurl / bestSubject;
    std::printf("%d MB, best of %d rounds\n", sizeMb, rounds);
    std::printf(
        "%s: %.0f MB/s, %.1f ms CPU and %ld page faults per download, peak RSS of this process "
        "%ld kB\n",
        bench.subject, mb / bestSubject, subjectCpu * 1000 / rounds, subjectFaults / rounds,
        self.ru_maxrss);
    std::printf("curl: %.0f MB/s, %.1f ms CPU and %ld page faults per download, peak RSS %ld kB\n",
                mb / bestCurl, curlCpu * 1000 / rounds, curlFaults / rounds, curlPeakKb);
    std::printf("curl -o %s: %.0f MB/s, %.1f ms CPU per download\n", kept.c_str(),
                mb / bestCurlKeeping, keepingCpu * 1000 / rounds);
    std::sort(roundRatios.begin(), roundRatios.end());
    std::printf(
        "throughput ratio %s/curl: %.2f (%.2f against curl keeping the body); "
        "median of the rounds' own ratios %.2f\n",
        bench.subject, ratio, bestCurlKeeping / bestSubject, roundRatios[roundRatios.size() / 2]);
    return ratio >= kLeastRatio ? 0 : 1;
}
