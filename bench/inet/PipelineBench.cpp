// inet_bench_pipeline: the body pipeline through quarget beside curl, both served by lighttpd on
// 127.0.0.1, for both transports (the library's own client and the platform internet library).
//
//   inet_bench_pipeline QUARGET [--size-mb N] [--rounds N] [--huge-gb N]
//
// 1. Download of N MB: `quarget -o /dev/null` (the body streamed) and `curl -s -o /dev/null`;
//    the median time of each, their ratio (curl's time / quarget's: 1.0 or more is as fast),
//    and peak memory. Target: ratio >= 1.0, peak < 32 MB.
// 2. The same body held whole by Receive in this program's child: peak against the body.
//    Target: <= 1.1x the body.
// 3. Upload of N MB: `quarget -d @FILE` and `curl --data-binary @FILE -H Expect:`; target:
//    quarget's time <= 1.1x curl's, peak < 32 MB. The same body sent from memory by a child
//    (a source over its buffer): target peak <= 1.2x the body.
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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The settings key of quarget for a transport.
std::string KeyOf(bool browser) {
    return browser ? "pipe-browser" : "pipe-direct";
}

// Child modes: a whole-body Receive of `url`, or a POST of `file` from memory, through the
// transport of `key`. Exit 0 when the transfer succeeded.
uint32_t SplitAndOpen(const char* url, const char* key, std::unique_ptr<QuarInetHttpRequest>& out,
                      char (&host)[260], uint32_t& port, char (&path)[1024]) {
    char scheme[16];
    if (!QuarInetSplitUrl(url, scheme, host, port, path, sizeof path)) {
        return 1;
    }
    QuarInetHttpConnection connection(key);
    out.reset(connection.CreateRequest(nullptr));
    return out == nullptr ? 1 : 0;
}

int ChildReceive(const char* url, const char* key) {
    std::unique_ptr<QuarInetHttpRequest> request;
    char host[260], path[1024];
    uint32_t port = 80;
    if (SplitAndOpen(url, key, request, host, port, path) != 0 ||
        request->Send(host, port, "GET", path, nullptr, 0, nullptr, 0) != 0) {
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

int ChildPost(const char* url, const char* key, const char* file) {
    Buffer buffer{Slurp(file)};
    std::unique_ptr<QuarInetHttpRequest> request;
    char host[260], path[1024];
    uint32_t port = 80;
    if (SplitAndOpen(url, key, request, host, port, path) != 0) {
        return 1;
    }
    const QuarInetBodySource source{&buffer, buffer.bytes.size(), &BufferNext, &BufferRewind};
    request->BodySource = &source;
    if (request->Send(host, port, "POST", path, nullptr, 0, nullptr, 0) != 0) {
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

// `rounds` of the subject and of curl in turns: median seconds and peaks.
struct Pair {
    double ours = 0, theirs = 0, ourPeak = 0, theirPeak = 0;
};

Pair RunRounds(int rounds, const std::vector<std::string>& ours,
               const std::vector<std::string>& theirs, const std::string& peakFile) {
    std::vector<double> a, b, pa, pb;
    for (int r = 0; r < rounds; ++r) {
        const ChildRun q = Spawn(ours, peakFile);
        const ChildRun c = Spawn(theirs, peakFile);
        if (q.status != 0 || c.status != 0) {
            fprintf(stderr, "a transfer failed (quarget %d, curl %d)\n", q.status, c.status);
            exit(2);
        }
        a.push_back(q.seconds);
        b.push_back(c.seconds);
        pa.push_back(q.peakMb);
        pb.push_back(c.peakMb);
    }
    return {Median(a), Median(b), Median(pa), Median(pb)};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && strcmp(argv[1], "--child-receive") == 0) {
        return ChildReceive(argv[2], argv[3]);
    }
    if (argc >= 5 && strcmp(argv[1], "--child-post") == 0) {
        return ChildPost(argv[2], argv[3], argv[4]);
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
    scratch.Write("upload.bin", Noise(sizeMb << 20, 11));
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

    for (const bool browser : {false, true}) {
        const std::string key = KeyOf(browser);
        printf("%s transport, %zu MB, %d rounds (median)\n",
               browser ? "browser-settings" : "socket", sizeMb, rounds);
        const Pair down =
            RunRounds(rounds, {quarget, "--settings", key, "-o", "/dev/null", base + "/big.bin"},
                      {"curl", "-s", "-o", "/dev/null", base + "/big.bin"}, peak);
        printf(
            "  download: quarget %.3f s (peak %.1f MB), curl %.3f s (peak %.1f MB), "
            "ratio %.2f\n",
            down.ours, down.ourPeak, down.theirs, down.theirPeak, down.theirs / down.ours);
        Verdict(down.theirs / down.ours >= 1.0, ">= 1.0x curl");
        Verdict(down.ourPeak < kFlatMb, "peak < 32 MB streaming");

        std::vector<double> wholePeaks;
        for (int r = 0; r < rounds; ++r) {
            const ChildRun whole =
                Spawn({selfPath, "--child-receive", base + "/big.bin", key}, peak);
            if (whole.status != 0) {
                fprintf(stderr, "the whole-body Receive failed\n");
                return 2;
            }
            wholePeaks.push_back(whole.peakMb);
        }
        const double wholeRatio = Median(wholePeaks) / static_cast<double>(sizeMb);
        printf("  whole-body Receive: peak %.1f MB, %.2fx the body\n", Median(wholePeaks),
               wholeRatio);
        Verdict(wholeRatio <= 1.1, "<= 1.1x the body");

        const Pair up = RunRounds(rounds,
                                  {quarget, "--settings", key, "-o", "/dev/null", "-d",
                                   "@" + upload, base + "/discard.cgi"},
                                  {"curl", "-s", "-o", "/dev/null", "-H",
                                   "Expect:", "--data-binary", "@" + upload, base + "/discard.cgi"},
                                  peak);
        printf(
            "  upload from a file: quarget %.3f s (peak %.1f MB), curl %.3f s (peak %.1f MB), "
            "time %.2fx curl's\n",
            up.ours, up.ourPeak, up.theirs, up.theirPeak, up.ours / up.theirs);
        Verdict(up.ours / up.theirs <= 1.1, "time <= 1.1x curl");
        if (!browser) {
            Verdict(up.ourPeak < kFlatMb, "peak < 32 MB from a file");
        } else {
            printf("    (the platform library takes the body in one piece: peak is the body)\n");
        }
        std::vector<double> postPeaks;
        for (int r = 0; r < rounds; ++r) {
            const ChildRun post =
                Spawn({selfPath, "--child-post", base + "/discard.cgi", key, upload}, peak);
            if (post.status != 0) {
                fprintf(stderr, "the upload from memory failed\n");
                return 2;
            }
            postPeaks.push_back(post.peakMb);
        }
        const double postRatio = Median(postPeaks) / static_cast<double>(sizeMb);
        printf("  upload from memory: peak %.1f MB, %.2fx the body\n", Median(postPeaks),
               postRatio);
        Verdict(postRatio <= 1.2, "<= 1.2x the body");

        if (hugeGb > 0) {
            const Pair huge =
                RunRounds(1, {quarget, "--settings", key, "-o", "/dev/null", base + "/huge.bin"},
                          {"curl", "-s", "-o", "/dev/null", base + "/huge.bin"}, peak);
            printf(
                "  %zu GB download: quarget %.1f s (peak %.1f MB), curl %.1f s (peak %.1f MB), "
                "ratio %.2f\n",
                hugeGb, huge.ours, huge.ourPeak, huge.theirs, huge.theirPeak,
                huge.theirs / huge.ours);
            Verdict(huge.ourPeak < kFlatMb, "peak < 32 MB");
            Verdict(huge.theirs / huge.ours >= 0.9, ">= 0.9x curl");
        }
    }
    return missed == 0 ? 0 : 1;
}
