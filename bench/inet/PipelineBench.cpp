// inet_bench_pipeline: the body pipeline through quarget beside curl, both served by lighttpd on
// 127.0.0.1, for both transports (the library's own client and the platform internet library).
//
//   inet_bench_pipeline QUARGET [--size-mb N] [--rounds N] [--huge-gb N]
//
// A 100 MB download takes about 50 ms here, start-up included: a ratio needs ten rounds or more
// to settle (three gave 0.97, twenty-one 1.06, on one quiet machine).
//
// 1. Download of N MB: `quarget -o /dev/null` (the body streamed) and `curl -s -o /dev/null`,
//    in turns: the median time of each, the median and range of their ratio in each pair
//    (curl's time / quarget's: 1.0 or more is as fast), and peak memory. Target: ratio >= 1.0,
//    peak < 32 MB.
// 2. The same body held whole by Receive in this program's child: peak against the body, and
//    above the peak of the same exchange with an empty body. Target: <= 1.1x the body above it.
// 3. Upload of N MB: `quarget -d @FILE` and `curl --data-binary @FILE -H Expect:`; target:
//    quarget's time <= 1.1x curl's (ratio >= 0.91), peak < 32 MB. The same body sent from
//    memory by a child (a source over its buffer): target peak <= 1.2x the body (above an empty
//    upload's, as in 2).
// 4. Download of a sparse file of --huge-gb GB (0: skipped) to /dev/null, one round each:
//    target peak < 32 MB, >= 0.9x curl.
// Exits 1 when a target is missed, 2 when a transfer fails.
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "QuarInet.h"
#include "TestData.h"
#include "support/LoopbackServers.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kFlatMb = 32;

struct ChildRun {
    int status = -1;
    double seconds = 0;
    double peakMb = 0;
};

// Runs `args` under GNU time for its peak memory.
ChildRun Spawn(const std::vector<std::string>& args, const std::string& peakFile) {
    std::vector<std::string> command = {"/usr/bin/time", "-f", "%M", "-o", peakFile};
    command.insert(command.end(), args.begin(), args.end());
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
        run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    run.peakMb = atof(ReadFile(peakFile).c_str()) / 1024.0;
    return run;
}

// The settings key of quarget for a transport.
std::string KeyOf(bool browser) {
    return browser ? "pipe-browser" : "pipe-direct";
}

struct Buffer {
    std::string bytes;
    bool given = false;
};

uint32_t BufferNext(void* context, const char** bytes, uint32_t* length) {
    Buffer& b = *static_cast<Buffer*>(context);
    *bytes = b.bytes.data();
    *length = b.given ? 0 : static_cast<uint32_t>(b.bytes.size());
    b.given = true;
    return 0;
}

uint32_t BufferRewind(void* context) {
    static_cast<Buffer*>(context)->given = false;
    return 0;
}

// The file in one string of its own size, as a client holds a body it sends.
std::string Slurp(const char* file) {
    std::string bytes;
    const int fd = open(file, O_RDONLY);
    const off_t size = fd < 0 ? 0 : lseek(fd, 0, SEEK_END);
    bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
    if (fd >= 0 && pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        bytes.clear();
    }
    if (fd >= 0) {
        close(fd);
    }
    return bytes;
}

// The child: a whole-body Receive of `url` through the transport of `key`, after a GET, or after
// a POST of `file` sent from memory (a source over its buffer). Exit 0 when it succeeded.
int ChildExchange(const char* url, const char* key, const char* file) {
    char scheme[16], host[260], path[1024];
    uint32_t port = 80;
    if (!QuarInetSplitUrl(url, scheme, host, port, path, sizeof path)) {
        return 1;
    }
    std::unique_ptr<QuarInetHttpRequest> request(
        QuarInetHttpConnection(key).CreateRequest(nullptr));
    Buffer buffer{file != nullptr ? Slurp(file) : std::string()};
    const QuarInetBodySource source{&buffer, buffer.bytes.size(), &BufferNext, &BufferRewind};
    if (request == nullptr) {
        return 1;
    }
    request->BodySource = file != nullptr ? &source : nullptr;
    if (request->Send(host, port, file != nullptr ? "POST" : "GET", path, nullptr, 0, nullptr, 0) !=
        0) {
        return 1;
    }
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t headersLength = 0, bodyLength = 0;
    const uint32_t rc = request->Receive(headers, headersLength, body, bodyLength);
    QuarInetFree(headers);
    QuarInetFree(body);
    return rc == 0 ? 0 : 1;
}

// Where a target is missed, the figures say so and the exit status too.
int missed = 0;

void Verdict(bool met, const char* what) {
    printf("    %s: %s\n", what, met ? "met" : "MISSED");
    missed += met ? 0 : 1;
}

// Median and range of some figures.
struct Spread {
    double median = 0, low = 0, high = 0;
};

Spread SpreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

// `rounds` of the subject and of curl in turns: their times, peaks and the ratio of each pair.
struct Pair {
    Spread ours, theirs, ourPeak, theirPeak, ratio;
};

Pair RunRounds(int rounds, const std::vector<std::string>& ours,
               const std::vector<std::string>& theirs, const std::string& peakFile) {
    std::vector<double> figures[5];
    for (int r = 0; r < rounds; ++r) {
        // Each goes first in turn: whatever the first run of a pair warms up, both get.
        ChildRun q, c;
        if (r % 2 == 0) {
            q = Spawn(ours, peakFile);
            c = Spawn(theirs, peakFile);
        } else {
            c = Spawn(theirs, peakFile);
            q = Spawn(ours, peakFile);
        }
        if (q.status != 0 || c.status != 0) {
            fprintf(stderr, "a transfer failed (quarget %d, curl %d)\n", q.status, c.status);
            exit(2);
        }
        const double round[5] = {q.seconds, c.seconds, q.peakMb, c.peakMb, c.seconds / q.seconds};
        for (int i = 0; i < 5; ++i) {
            figures[i].push_back(round[i]);
        }
    }
    return {SpreadOf(figures[0]), SpreadOf(figures[1]), SpreadOf(figures[2]), SpreadOf(figures[3]),
            SpreadOf(figures[4])};
}

// Prints a transfer of quarget beside curl's; `ratio` says how the pair's ratio reads.
void PrintPair(const char* what, const Pair& p, const char* ratio) {
    printf(
        "  %s: quarget %.3f s (peak %.1f MB), curl %.3f s (peak %.1f MB), %s %.2f "
        "(range %.2f-%.2f)\n",
        what, p.ours.median, p.ourPeak.median, p.theirs.median, p.theirPeak.median, ratio,
        p.ratio.median, p.ratio.low, p.ratio.high);
}

// `rounds` runs of this program as the child with `args`, and as many with `emptyArgs` (the
// same exchange with an empty body): the median peak against the body, and the median peak
// above the empty exchange's. The second is what the body costs: the first also counts the
// libraries' own resident pages (libcurl with OpenSSL holds about 12 MB before any byte).
double ChildPeakRatio(int rounds, const std::vector<std::string>& args,
                      const std::vector<std::string>& emptyArgs, const std::string& peak,
                      size_t sizeMb, const char* what) {
    std::vector<double> peaks, bases;
    for (int r = 0; r < rounds; ++r) {
        for (auto* run : {&args, &emptyArgs}) {
            const ChildRun child = Spawn(*run, peak);
            if (child.status != 0) {
                fprintf(stderr, "the %s failed\n", what);
                exit(2);
            }
            (run == &args ? peaks : bases).push_back(child.peakMb);
        }
    }
    const Spread spread = SpreadOf(peaks);
    const double base = SpreadOf(bases).median;
    const double body = static_cast<double>(sizeMb);
    printf(
        "  %s: peak %.1f MB (range %.1f-%.1f), %.2fx the body; %.1f MB with an empty body, "
        "%.2fx the body above it\n",
        what, spread.median, spread.low, spread.high, spread.median / body, base,
        (spread.median - base) / body);
    return (spread.median - base) / body;
}

// Reads `path` through once.
void WarmUp(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    std::unique_ptr<char[]> buffer(new char[1u << 20]);
    while (fd >= 0 && read(fd, buffer.get(), 1u << 20) > 0) {
    }
    if (fd >= 0) {
        close(fd);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && strcmp(argv[1], "--child") == 0) {
        return ChildExchange(argv[2], argv[3], argc >= 5 ? argv[4] : nullptr);
    }
    if (argc < 2) {
        fprintf(stderr,
                "usage: inet_bench_pipeline QUARGET [--size-mb N] [--rounds N] "
                "[--huge-gb N]\n");
        return 2;
    }
    const std::string quarget = argv[1];
    size_t sizeMb = 100;
    int rounds = 3;
    size_t hugeGb = 10;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--size-mb") == 0) {
            sizeMb = strtoul(argv[i + 1], nullptr, 10);
        } else if (strcmp(argv[i], "--rounds") == 0) {
            rounds = atoi(argv[i + 1]);
        } else if (strcmp(argv[i], "--huge-gb") == 0) {
            hugeGb = strtoul(argv[i + 1], nullptr, 10);
        }
    }
    TempDir scratch;
    setenv("QUAR_USER_REGISTRY", (scratch / "user.reg").c_str(), 1);
    unsetenv("http_proxy");
    QuarInetHttpConnection(KeyOf(false).c_str()).Configure(0, 0, "", 80, 0, "", "");
    QuarInetHttpConnection(KeyOf(true).c_str()).Configure(1, 0, "", 80, 0, "", "");

    scratch.Write("www/big.bin", Noise(sizeMb << 20));
    scratch.Write("www/discard.cgi",
                  "head -c \"${CONTENT_LENGTH:-0}\" > /dev/null\n"
                  "printf 'Content-Type: text/plain\\r\\n\\r\\nok\\n'\n");
    scratch.Write("www/empty.bin", "");
    scratch.Write("upload.bin", Noise(sizeMb << 20, 11));
    scratch.Write("empty-upload.bin", "");
    if (hugeGb > 0) {
        const int fd = open((scratch / "www/huge.bin").c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0 || ftruncate(fd, static_cast<off_t>(hugeGb) << 30) != 0) {
            fprintf(stderr, "cannot make the sparse file\n");
            return 2;
        }
        close(fd);
    }
    Lighttpd server(scratch / "www", 0, {},
                    "server.modules += (\"mod_cgi\")\n"
                    "cgi.assign = (\".cgi\" => \"/bin/sh\")\n"
                    "server.upload-dirs = (\"" +
                        scratch.path() + "\")\n");
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
    const std::string peak = scratch / "peak";
    char selfPath[4096];
    const ssize_t selfLength = readlink("/proc/self/exe", selfPath, sizeof selfPath - 1);
    selfPath[selfLength > 0 ? selfLength : 0] = '\0';
    const std::string upload = scratch / "upload.bin";
    const std::string emptyUpload = scratch / "empty-upload.bin";

    for (const bool browser : {false, true}) {
        const std::string key = KeyOf(browser);
        printf("%s transport, %zu MB, %d rounds (median)\n",
               browser ? "browser-settings" : "socket", sizeMb, rounds);
        const Pair down =
            RunRounds(rounds, {quarget, "--settings", key, "-o", "/dev/null", base + "/big.bin"},
                      {"curl", "-s", "-o", "/dev/null", base + "/big.bin"}, peak);
        PrintPair("download", down, "ratio");
        Verdict(down.ratio.median >= 1.0, ">= 1.0x curl");
        Verdict(down.ourPeak.median < kFlatMb, "peak < 32 MB streaming");
        Verdict(ChildPeakRatio(rounds, {selfPath, "--child", base + "/big.bin", key},
                               {selfPath, "--child", base + "/empty.bin", key}, peak, sizeMb,
                               "whole-body Receive") <= 1.1,
                "<= 1.1x the body");

        const Pair up = RunRounds(rounds,
                                  {quarget, "--settings", key, "-o", "/dev/null", "-d",
                                   "@" + upload, base + "/discard.cgi"},
                                  {"curl", "-s", "-o", "/dev/null", "-H",
                                   "Expect:", "--data-binary", "@" + upload, base + "/discard.cgi"},
                                  peak);
        PrintPair("upload from a file", up, "ratio");
        // Within 1.1x curl's time: curl's time / quarget's of 1/1.1 or more.
        Verdict(up.ratio.median >= 1 / 1.1, "time <= 1.1x curl");
        Verdict(up.ourPeak.median < kFlatMb, "peak < 32 MB from a file");
        Verdict(ChildPeakRatio(rounds, {selfPath, "--child", base + "/discard.cgi", key, upload},
                               {selfPath, "--child", base + "/discard.cgi", key, emptyUpload}, peak,
                               sizeMb, "upload from memory") <= 1.2,
                "<= 1.2x the body");

        if (hugeGb > 0) {
            // The file's holes become page-cache pages on their first read, which would be
            // charged to whoever reads first: they are read once before the clock runs.
            WarmUp(scratch / "www/huge.bin");
            const Pair huge =
                RunRounds(1, {quarget, "--settings", key, "-o", "/dev/null", base + "/huge.bin"},
                          {"curl", "-s", "-o", "/dev/null", base + "/huge.bin"}, peak);
            PrintPair((std::to_string(hugeGb) + " GB download").c_str(), huge, "ratio");
            Verdict(huge.ourPeak.median < kFlatMb, "peak < 32 MB");
            Verdict(huge.ratio.median >= 0.9, ">= 0.9x curl");
        }
    }
    return missed == 0 ? 0 : 1;
}
