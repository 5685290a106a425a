// quarget end to end: the command against lighttpd, tinyproxy and the scripted server, with its
// output, files, exit status and messages.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "FileBytes.h"
#include "GzipBytes.h"
#include "WebSite.h"
#include "support/RawServer.h"
#include "support/TempDir.h"

namespace {

struct CommandRun {
    int status = -1;
    std::string out;
    std::string err;
};

class QuargetTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        web_ = new WebSite(
            {{"hello.txt", "hello\n"}, {"text.txt.gz", GzipBytes(std::string(100000, 'z'))}});
        proxy_ = new Tinyproxy("pu", "pp", kNoVia);
    }
    static void TearDownTestSuite() {
        delete proxy_;
        delete web_;
    }
    void SetUp() override {
        setenv("QUAR_USER_REGISTRY", (dir_ / "user.reg").c_str(), 1);
        unsetenv("http_proxy");
        // The cases are about the library's own client: with the platform internet library
        // hidden, settings that ask for the browser's settings fall back to it.
        setenv("QUAR_HIDE_MODULES", "WININET.DLL", 1);
    }
    void TearDown() override { unsetenv("QUAR_HIDE_MODULES"); }

    // Runs quarget with `args`; once `interruptWhen` (if given) holds, sends it SIGINT.
    CommandRun Quarget(std::vector<std::string> args,
                       const std::function<bool()>& interruptWhen = nullptr) {
        args.insert(args.begin(), QUARGET_PATH);
        const std::string out = dir_ / "stdout", err = dir_ / "stderr";
        const pid_t pid = fork();
        if (pid == 0) {
            freopen(out.c_str(), "w", stdout);
            freopen(err.c_str(), "w", stderr);
            std::vector<char*> argv;
            for (std::string& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        if (interruptWhen) {
            for (int i = 0; i < 500 && !interruptWhen(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            kill(pid, SIGINT);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadFile(out),
                ReadFile(err)};
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(web_->port()) + path;
    }

    static WebSite* web_;
    static Tinyproxy* proxy_;
    TempDir dir_;
};
WebSite* QuargetTest::web_ = nullptr;
Tinyproxy* QuargetTest::proxy_ = nullptr;

TEST_F(QuargetTest, FetchesLikeACommandLineClient) {
    WriteFile(dir_ / "data.txt", "from a file");
    WriteFile(dir_ / "upload.bin", std::string("bin\0ary", 7));
    // Larger than a piece of the file as it is read and sent (256 KiB).
    std::string big(600000, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>('a' + i * 7 % 26);
    }
    WriteFile(dir_ / "big.txt", big);
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string out;  // exact standard output; "~x": contains x
        std::string err;  // "~x": standard error contains x; empty: standard error is empty
    };
    const std::vector<Case> cases = {
        {"plain get", {Url("/hello.txt")}, 0, "hello\n", ""},
        {"headers too", {"-i", Url("/hello.txt")}, 0, "~HTTP/1.0 200 OK\r\n", ""},
        {"redirect followed", {Url("/r302")}, 0, "hello\n", ""},
        {"not found", {Url("/none")}, 1, "~404", "~Extended error has occured (12003)"},
        {"posted text",
         {"-d", "a=1&b=2", Url("/echo.cgi")},
         0,
         "method=POST\nuri=/echo.cgi\ntype=\nlength=7\nproxy-authorization=\n\na=1&b=2",
         ""},
        {"posted file with a verb and header",
         {"-X", "PUT", "-H", "Content-Type: text/x-test", "-d", "@" + (dir_ / "data.txt"),
          Url("/echo.cgi")},
         0,
         "method=PUT\nuri=/echo.cgi\ntype=text/x-test\nlength=11\nproxy-authorization=\n\n"
         "from a file",
         ""},
        {"multipart form",
         {"-F", "field=value", "-F", "file=@" + (dir_ / "upload.bin"), Url("/echo.cgi")},
         0,
         "~Content-Disposition: form-data; name=\"file\"; filename=\"upload.bin\"\r\n"
         "Content-Type: application/octet-stream\r\n\r\n" +
             std::string("bin\0ary", 7),
         ""},
        {"large file sent in pieces",
         {"-d", "@" + (dir_ / "big.txt"), Url("/echo.cgi")},
         0,
         "method=POST\nuri=/echo.cgi\ntype=\nlength=600000\nproxy-authorization=\n\n" + big,
         ""},
        {"large file in a form",
         {"-F", "a=b", "-F", "file=@" + (dir_ / "big.txt"), "-F", "c=d", Url("/echo.cgi")},
         0,
         "~filename=\"big.txt\"\r\nContent-Type: application/octet-stream\r\n\r\n" + big + "\r\n--",
         ""},
        {"missing file",
         {"-d", "@" + (dir_ / "none.txt"), Url("/echo.cgi")},
         1,
         "",
         "~cannot read"},
        {"events", {"-v", Url("/hello.txt")}, 0, "hello\n", "~* 21 connected to 127.0.0.1\n"},
        {"refused connection",
         {"http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/"},
         1,
         "",
         "~Connection was forcefully rejected (10061)"},
        {"https refused", {"https://127.0.0.1/"}, 1, "", "~only http://"},
        {"usage", {"-Q"}, 2, "", "~unknown option -Q"},
        {"empty body still posted",
         {"-d", "", Url("/echo.cgi")},
         0,
         "method=POST\nuri=/echo.cgi\ntype=\nlength=0\nproxy-authorization=\n\n",
         ""},
        {"proxy user without a proxy",
         {"--settings", "nothing", "--proxy-user", "a:b", Url("/")},
         1,
         "",
         "~--proxy-user needs a proxy"},
        {"help", {"--help"}, 0, "~usage: quarget", ""},
        {"through the proxy with authentication",
         {"--settings", "viaproxy", "--proxy", "127.0.0.1:" + std::to_string(proxy_->port()),
          "--proxy-user", "pu:pp", Url("/hello.txt")},
         0,
         "hello\n",
         ""},
        {"proxy settings are kept",
         {"--settings", "viaproxy", "-i", Url("/hello.txt")},
         0,
         "~Server: lighttpd",
         ""},
        {"proxy refuses without authentication",
         {"--settings", "noauth", "--proxy", "127.0.0.1:" + std::to_string(proxy_->port()), "-i",
          Url("/hello.txt")},
         0,
         "~HTTP/1.0 407",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandRun run = Quarget(c.args);
        EXPECT_EQ(c.status, run.status) << run.err;
        if (c.out.rfind("~", 0) == 0) {
            EXPECT_NE(std::string::npos, run.out.find(c.out.substr(1))) << run.out;
        } else {
            EXPECT_EQ(c.out, run.out);
        }
        if (c.err.empty()) {
            EXPECT_EQ("", run.err);
        } else {
            EXPECT_NE(std::string::npos, run.err.find(c.err.substr(1))) << run.err;
        }
    }
    // The multipart body named its boundary in the request's own Content-type.
    const CommandRun form = Quarget({"-F", "a=b", Url("/echo.cgi")});
    EXPECT_NE(std::string::npos, form.out.find("type=multipart/form-data; boundary=")) << form.out;
}

// A settings key that selects the browser's settings (nothing stored: the default) goes through
// the platform internet library, which follows the redirect itself and reports its own events
// beside the request's byte counts.
TEST_F(QuargetTest, BrowserSettingsGoThroughThePlatformLibrary) {
    unsetenv("QUAR_HIDE_MODULES");
    std::string big(600000, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>('a' + i * 7 % 26);
    }
    WriteFile(dir_ / "big.txt", big);
    setenv("LSAN_OPTIONS", "suppressions=" LIBCRYPTO_EXIT_SUPPRESSIONS, 1);
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string out;
        std::vector<std::string> err;  // each contained in standard error
    };
    const std::vector<Case> cases = {
        {"redirect with progress",
         {"--settings", "browser", "-v", Url("/r302")},
         0,
         "hello\n",
         {"* 110 redirected to", "* 41 response received, bytes 6\n"}},
        {"gzip body decoded",
         {"--settings", "browser", Url("/text.txt.gz")},
         0,
         std::string(100000, 'z'),
         {}},
        {"not found", {"--settings", "browser", Url("/none")}, 1, "", {"(12003)"}},
        {"file posted from the library's one piece",
         {"--settings", "browser", "-d", "@" + (dir_ / "big.txt"), Url("/echo.cgi")},
         0,
         "method=POST\nuri=/echo.cgi\ntype=\nlength=600000\nproxy-authorization=\n\n" + big,
         {}},
        {"refused connection",
         {"--settings", "browser", "http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/"},
         1,
         "",
         {"(12029)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandRun run = Quarget(c.args);
        EXPECT_EQ(c.status, run.status) << run.err;
        if (c.status == 0) {
            EXPECT_EQ(c.out, run.out);
        }
        for (const std::string& part : c.err) {
            EXPECT_NE(std::string::npos, run.err.find(part)) << run.err;
        }
    }
    unsetenv("LSAN_OPTIONS");
}

// -o writes beside the file and renames on success: a failure leaves an existing file as it
// was, unless --keep-partial asks for what came; no temporary file stays behind; a link keeps
// pointing at its file, and a device or FIFO is written as it is, never replaced.
TEST_F(QuargetTest, OutputFileReplacedOnlyBySuccess) {
    RawServer cut({RawReply::Plain("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\npartial")});
    const std::string cutUrl = "http://127.0.0.1:" + std::to_string(cut.port()) + "/";
    const std::string refused = "http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/";
    enum Kind { kFile, kLink, kFifo };  // what FILE is: a file, a link to one, a FIFO
    struct Case {
        const char* name;
        std::vector<std::string> args;  // before -o FILE URL
        std::string url;
        int status;
        std::string file;  // what FILE holds afterwards ("old" was there before)
        Kind kind = kFile;
    };
    const std::vector<Case> cases = {
        {"success replaces the file", {}, Url("/hello.txt"), 0, "hello\n"},
        {"gzip body decoded into the file", {}, Url("/text.txt.gz"), 0, std::string(100000, 'z')},
        {"headers first with -i", {"-i"}, Url("/hello.txt"), 0, "~HTTP/1.0 200 OK\r\n"},
        {"no answer leaves the file", {}, refused, 1, "old"},
        {"an error page leaves the file", {}, Url("/none"), 1, "old"},
        {"a body cut short leaves the file", {}, cutUrl, 1, "old"},
        {"--keep-partial keeps what came", {"--keep-partial"}, cutUrl, 1, "partial"},
        {"--keep-partial without bytes leaves the file", {"--keep-partial"}, refused, 1, "old"},
        {"a link's file is replaced, the link stays", {}, Url("/hello.txt"), 0, "hello\n", kLink},
        {"a FIFO is written as it is", {}, Url("/hello.txt"), 0, "hello\n", kFifo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string file = dir / "out.txt";
        const std::string real = c.kind == kLink ? dir / "real.txt" : file;
        std::string fromFifo;
        std::thread reader;
        if (c.kind == kFifo) {
            ASSERT_EQ(0, mkfifo(file.c_str(), 0600));
            reader = std::thread([&] { fromFifo = ReadFile(file); });
        } else {
            WriteFile(real, "old");
            if (c.kind == kLink) {
                ASSERT_EQ(0, symlink(real.c_str(), file.c_str()));
            }
        }
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", file, c.url});
        const CommandRun run = Quarget(args);
        if (reader.joinable()) {
            reader.join();
        }
        EXPECT_EQ(c.status, run.status) << run.err;
        EXPECT_EQ("", run.out);
        const std::string got = c.kind == kFifo ? fromFifo : ReadFile(real);
        if (c.file[0] == '~') {
            EXPECT_NE(std::string::npos, got.find(c.file.substr(1)));
        } else {
            EXPECT_EQ(c.file, got);
        }
        struct stat info {};
        ASSERT_EQ(0, lstat(file.c_str(), &info));
        EXPECT_EQ(c.kind == kLink   ? S_IFLNK
                  : c.kind == kFifo ? S_IFIFO
                                    : S_IFREG,
                  info.st_mode & S_IFMT);
        const auto entries = std::filesystem::directory_iterator(dir.path());
        EXPECT_EQ(c.kind == kLink ? 2 : 1, std::distance(begin(entries), end(entries)));
    }
}

TEST_F(QuargetTest, InterruptBreaksTheTransferOff) {
    RawServer silent({RawReply::Silent()});
    const auto start = std::chrono::steady_clock::now();
    // SIGINT once the request has arrived, while quarget waits for the answer.
    const CommandRun run = Quarget({"http://127.0.0.1:" + std::to_string(silent.port()) + "/"},
                                   [&] { return !silent.Requests().empty(); });
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("interrupted: ")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("(10004)")) << run.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
