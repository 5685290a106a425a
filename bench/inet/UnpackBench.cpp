// inet_bench_unpack: UnpackContent beside gzip -dc on the same gzip body, in MB/s of output.
//
//   inet_bench_unpack [--size-mb N] [--rounds N] [--level N] [--target RATIO]
//
// Makes N MB of text-like data, compresses it with gzip(1) at the given level, then in each round
// times `gzip -dc` (to /dev/null) and UnpackContent on the same bytes, one after the other.
// Prints both speeds per round and their medians; exits 1 when UnpackContent's median is not
// at least RATIO times that of gzip -dc (default 1.5).
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "QuarInet.h"
#include "TestData.h"
#include "inet/InetHeap.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double CpuSeconds(const rusage& usage) {
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// Runs argv with stdin and stdout redirected to files; returns the exit status and, in `cpu`,
// the processor time the child used.
int Spawn(const std::vector<std::string>& args, const char* in, const char* out,
          double* cpu = nullptr) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in != nullptr) {
        posix_spawn_file_actions_addopen(&actions, 0, in, O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        if (cpu != nullptr) {
            *cpu = CpuSeconds(usage);
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    std::string bytes;
    if (file == nullptr) {
        return bytes;
    }
    char block[1 << 16];
    for (size_t n; (n = fread(block, 1, sizeof block, file)) > 0;) {
        bytes.append(block, n);
    }
    fclose(file);
    return bytes;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One UnpackContent call on fresh copies of the response, as a transport would hand them over.
// Returns the wall-clock seconds it took (and in `cpu` the processor seconds) and checks the
// decoded body against `expected` when given.
double TimeUnpack(const std::string& gz, const std::string* expected, double* cpu = nullptr) {
    const char* headerText = "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n";
    uint32_t headersLength = static_cast<uint32_t>(strlen(headerText));
    char* headers = static_cast<char*>(inet::HeapAllocate(headersLength + 1));
    memcpy(headers, headerText, headersLength + 1);
    uint32_t bodyLength = static_cast<uint32_t>(gz.size());
    char* body = static_cast<char*>(inet::HeapAllocate(gz.size()));
    memcpy(body, gz.data(), gz.size());

    const double cpuStart = ThreadCpuSeconds();
    Clock::time_point start = Clock::now();
    UnpackContent(headers, headersLength, body, bodyLength);
    double seconds = Seconds(start);
    if (cpu != nullptr) {
        *cpu = ThreadCpuSeconds() - cpuStart;
    }

    if (expected != nullptr &&
        (bodyLength != expected->size() || memcmp(body, expected->data(), bodyLength) != 0)) {
        fprintf(stderr, "UnpackContent gave %u bytes that differ from the %zu expected\n",
                bodyLength, expected->size());
        exit(2);
    }
    QuarInetFree(headers);
    QuarInetFree(body);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    size_t sizeMb = 100;
    int rounds = 5;
    int level = 6;
    double target = 1.5;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--size-mb") {
            sizeMb = strtoul(argv[i + 1], nullptr, 10);
        } else if (option == "--rounds") {
            rounds = atoi(argv[i + 1]);
        } else if (option == "--level") {
            level = atoi(argv[i + 1]);
        } else if (option == "--target") {
            target = atof(argv[i + 1]);
        }
    }

    char dir[] = "/tmp/inet-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        perror("mkdtemp");
        return 2;
    }
    const std::string plainPath = std::string(dir) + "/data";
    const std::string gzPath = plainPath + ".gz";
    const std::string data = TextLike(sizeMb * 1000 * 1000);
    {
        FILE* file = fopen(plainPath.c_str(), "wb");
        fwrite(data.data(), 1, data.size(), file);
        fclose(file);
    }
    if (Spawn({"gzip", "-c", "-" + std::to_string(level), plainPath}, nullptr, gzPath.c_str()) !=
        0) {
        fprintf(stderr, "gzip failed\n");
        return 2;
    }
    const std::string gz = ReadAll(gzPath);
    unlink(plainPath.c_str());
    const double mb = data.size() / 1e6;
    printf("body: %.1f MB decoded from %.1f MB (gzip -%d)\n", mb, gz.size() / 1e6, level);

    TimeUnpack(gz, &data);  // checks the result once, and warms the page cache and the heap
    // Wall-clock speed is what a user sees; processor-time speed is what stays comparable when
    // other work shares the machine.
    std::vector<double> gzipRates, unpackRates, gzipCpuRates, unpackCpuRates;
    printf("%6s %14s %14s %18s %18s\n", "round", "gzip -dc MB/s", "(cpu MB/s)",
           "UnpackContent MB/s", "(cpu MB/s)");
    for (int round = 1; round <= rounds; ++round) {
        double cpu = 0;
        Clock::time_point start = Clock::now();
        if (Spawn({"gzip", "-dc", gzPath}, nullptr, "/dev/null", &cpu) != 0) {
            fprintf(stderr, "gzip -dc failed\n");
            return 2;
        }
        gzipRates.push_back(mb / Seconds(start));
        gzipCpuRates.push_back(mb / cpu);
        unpackRates.push_back(mb / TimeUnpack(gz, nullptr, &cpu));
        unpackCpuRates.push_back(mb / cpu);
        printf("%6d %14.1f %14.1f %18.1f %18.1f\n", round, gzipRates.back(), gzipCpuRates.back(),
               unpackRates.back(), unpackCpuRates.back());
    }
    unlink(gzPath.c_str());
    rmdir(dir);

    const double ratio = Median(unpackRates) / Median(gzipRates);
    const double cpuRatio = Median(unpackCpuRates) / Median(gzipCpuRates);
    printf("%6s %14.1f %14.1f %18.1f %18.1f\n", "median", Median(gzipRates), Median(gzipCpuRates),
           Median(unpackRates), Median(unpackCpuRates));
    printf("UnpackContent / gzip -dc: %.2fx wall clock, %.2fx processor time (target %.2fx): %s\n",
           ratio, cpuRatio, target, ratio >= target ? "met" : "MISSED");
    return ratio >= target ? 0 : 1;
}
