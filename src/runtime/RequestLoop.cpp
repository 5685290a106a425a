#include "runtime/RequestLoop.h"

#include <fcgiapp.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/FileUtil.h"
#include "platform/KeepingEnv.h"
#include "runtime/CgiApplication.h"
#include "runtime/RequestInput.h"

extern char** environ;

namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;

// The name part of an environment entry "NAME=value".
std::string_view NameOf(const char* entry) {
    const char* equals = std::strchr(entry, '=');
    return equals ? std::string_view(entry, static_cast<std::size_t>(equals - entry))
                  : std::string_view(entry);
}

bool Contains(char** entries, std::string_view name) {
    for (char** entry = entries; *entry != nullptr; ++entry) {
        if (NameOf(*entry) == name) {
            return true;
        }
    }
    return false;
}

// The process environment of one request: its parameters first, then the spawner's variables
// that it does not name. Set for the request and put back afterwards.
class RequestEnvironment {
  public:
    RequestEnvironment(char** params, const std::vector<char*>& spawner) : saved_(environ) {
        for (char** entry = params; *entry != nullptr; ++entry) {
            entries_.push_back(*entry);
        }
        for (char* entry : spawner) {
            if (!Contains(params, NameOf(entry))) {
                entries_.push_back(entry);
            }
        }
        entries_.push_back(nullptr);
        environ = entries_.data();
    }
    ~RequestEnvironment() { environ = saved_; }
    RequestEnvironment(const RequestEnvironment&) = delete;
    RequestEnvironment& operator=(const RequestEnvironment&) = delete;

  private:
    char** saved_;
    std::vector<char*> entries_;
};

// A reply file that grew beyond this is emptied after its reply, so that one large page does
// not keep its memory for the life of the process. Smaller ones keep their pages: freeing and
// finding them again cost more than the page itself.
constexpr off_t kKeptReplyBytes = 1 << 20;

// The standard input and output of the requests answered in FastCGI mode: two memory files
// and the one buffer that moves bytes between them and the web server.
class RequestFiles {
  public:
    RequestFiles() : buffer_(kCopyChunk) {}

    // Puts the request body (at most what a program accepts) into `fd`, from its start, and
    // the offset back to 0; the file holds nothing else. False when it cannot be written.
    bool TakeBody(FCGX_Stream* in, int fd) {
        std::size_t total = 0;
        while (total < kMaxContentLength) {
            const int n = FCGX_GetStr(buffer_.data(), static_cast<int>(buffer_.size()), in);
            if (n <= 0) {
                break;
            }
            if (::pwrite(fd, buffer_.data(), static_cast<std::size_t>(n),
                         static_cast<off_t>(total)) != n) {
                return false;
            }
            total += static_cast<std::size_t>(n);
        }
        // Most requests have no body and follow one without: nothing to cut or rewind then.
        if (total == 0 && bodySize_ == 0) {
            return true;
        }
        // Cut what an earlier, longer body left behind it: a program that reads to the end
        // must not see it.
        if (static_cast<off_t>(total) != bodySize_ &&
            ::ftruncate(fd, static_cast<off_t>(total)) != 0) {
            bodySize_ = -1;
            return false;
        }
        bodySize_ = static_cast<off_t>(total);
        return ::lseek(fd, 0, SEEK_SET) == 0;
    }

    // Sends what the request wrote to `fd` and rewinds it for the next one.
    void SendReply(int fd, FCGX_Stream* out) {
        const off_t size = ::lseek(fd, 0, SEEK_CUR);
        for (off_t at = 0; at < size;) {
            const ssize_t n =
                ::pread(fd, buffer_.data(),
                        std::min(buffer_.size(), static_cast<std::size_t>(size - at)), at);
            if (n <= 0 || FCGX_PutStr(buffer_.data(), static_cast<int>(n), out) < 0) {
                break;  // the web server has gone: the rest is for nobody
            }
            at += n;
        }
        // Only the written part is ever sent, so bytes past it may stay.
        if (size > kKeptReplyBytes && ::ftruncate(fd, 0) != 0) {
            std::perror("reply file");
        }
        ::lseek(fd, 0, SEEK_SET);
    }

  private:
    std::vector<char> buffer_;
    off_t bodySize_ = -1;  // what the body file holds; -1 unknown
};

int ServeFastCgi(const std::function<void(Env& env)>& request) {
    // A web server that drops a connection must not end the process with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    // Standard input and output become the request's body and reply: the listening socket
    // moves to a descriptor of its own.
    const UniqueFd listener(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3));
    const UniqueFd body(::memfd_create("request-body", MFD_CLOEXEC));
    const UniqueFd reply(::memfd_create("reply", MFD_CLOEXEC));
    if (!listener || !body || !reply || ::dup2(body.get(), STDIN_FILENO) < 0 ||
        ::dup2(reply.get(), STDOUT_FILENO) < 0) {
        std::perror("FastCGI start-up");
        return 1;
    }
    // Unbuffered, so that no byte of one request's body stays in a buffer for the next.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::vector<char*> spawner;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!IsRequestVariable(*entry)) {
            spawner.push_back(*entry);
        }
    }
    FCGX_Request fcgi;
    if (FCGX_InitRequest(&fcgi, listener.get(), 0) != 0) {
        return 1;
    }
    RequestFiles files;
    KeepingEnv env(Env::Default());
    while (FCGX_Accept_r(&fcgi) >= 0) {
        if (files.TakeBody(fcgi.in, STDIN_FILENO)) {
            std::clearerr(stdin);
            const RequestEnvironment environment(fcgi.envp, spawner);
            try {
                request(env);
            } catch (...) {
                // What the request wrote is its reply; the next request starts afresh.
            }
            std::fflush(stdout);
            std::clearerr(stdout);
        }
        files.SendReply(STDOUT_FILENO, fcgi.out);
        // With the whole request read, nothing the web server sent can be left to answer the
        // close with a reset: close at once rather than wait for the server to close first.
        if (FCGX_HasSeenEOF(fcgi.in) != 0) {
            FCGX_Detach(&fcgi);
        }
        FCGX_Finish_r(&fcgi);
    }
    return 0;
}

// A FastCGI application is started with its listening socket as standard input. Anything else
// (a pipe, a file, /dev/null) is a CGI run, told without setting up the FastCGI library, which
// would install its signal handlers first.
bool StartedAsCgi() {
    struct stat st;
    if (::fstat(STDIN_FILENO, &st) == 0 && !S_ISSOCK(st.st_mode)) {
        return true;
    }
    return FCGX_IsCGI();
}

}  // namespace

bool IsRequestVariable(const char* entry) {
    static constexpr std::string_view kNames[] = {
        "AUTH_TYPE",         "CONTENT_LENGTH",  "CONTENT_TYPE",    "DOCUMENT_ROOT",
        "GATEWAY_INTERFACE", "HTTPS",           "PATH_INFO",       "PATH_TRANSLATED",
        "QUERY_STRING",      "REDIRECT_STATUS", "REMOTE_ADDR",     "REMOTE_HOST",
        "REMOTE_IDENT",      "REMOTE_PORT",     "REMOTE_USER",     "REQUEST_METHOD",
        "REQUEST_SCHEME",    "REQUEST_URI",     "SCRIPT_FILENAME", "SCRIPT_NAME",
        "SERVER_ADDR",       "SERVER_NAME",     "SERVER_PORT",     "SERVER_PROTOCOL",
        "SERVER_SOFTWARE",
    };
    const std::string_view name = NameOf(entry);
    if (name.substr(0, 5) == "HTTP_") {
        return true;
    }
    for (std::string_view known : kNames) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

int ServeRequests(const std::function<void(Env& env)>& request) {
    // The reply's header and a whole page go to the web server in one write: each write to a
    // CGI pipe wakes the server to read it. Flushed when the run ends (a CGI process's exit, the
    // end of a FastCGI request); a larger reply goes on in pieces of this size.
    static char replyBuffer[64 * 1024];
    std::setvbuf(stdout, replyBuffer, _IOFBF, sizeof replyBuffer);
    if (!StartedAsCgi()) {
        return ServeFastCgi(request);
    }
    CgiApplication::EndWhenReaderGoes();
    request(Env::Default());
    return 0;
}
