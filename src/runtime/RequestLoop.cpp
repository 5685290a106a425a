#include "runtime/RequestLoop.h"

#include <fcgiapp.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/FileUtil.h"
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

// Copies the request body (at most what a program accepts) into `fd` from its start and puts
// the offset back to 0.
bool CopyBody(FCGX_Stream* in, int fd) {
    if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
        return false;
    }
    std::vector<char> buffer(kCopyChunk);
    std::size_t total = 0;
    while (total < kMaxContentLength) {
        const int n = FCGX_GetStr(buffer.data(), static_cast<int>(buffer.size()), in);
        if (n <= 0) {
            break;
        }
        if (!WriteAll(fd, buffer.data(), static_cast<std::size_t>(n))) {
            return false;
        }
        total += static_cast<std::size_t>(n);
    }
    return ::lseek(fd, 0, SEEK_SET) == 0;
}

// Sends what the request wrote to `fd` and empties it for the next one.
void SendReply(int fd, FCGX_Stream* out) {
    const off_t size = ::lseek(fd, 0, SEEK_CUR);
    std::vector<char> buffer(kCopyChunk);
    for (off_t at = 0; at < size;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), at);
        if (n <= 0 || FCGX_PutStr(buffer.data(), static_cast<int>(n), out) < 0) {
            break;  // the web server has gone: the rest is for nobody
        }
        at += n;
    }
    if (::ftruncate(fd, 0) != 0) {
        std::perror("reply file");
    }
    ::lseek(fd, 0, SEEK_SET);
}

int ServeFastCgi(const std::function<void()>& request) {
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
    while (FCGX_Accept_r(&fcgi) >= 0) {
        if (CopyBody(fcgi.in, STDIN_FILENO)) {
            std::clearerr(stdin);
            const RequestEnvironment environment(fcgi.envp, spawner);
            try {
                request();
            } catch (...) {
                // What the request wrote is its reply; the next request starts afresh.
            }
            std::fflush(stdout);
            std::clearerr(stdout);
        }
        SendReply(STDOUT_FILENO, fcgi.out);
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

int ServeRequests(const std::function<void()>& request) {
    if (!StartedAsCgi()) {
        return ServeFastCgi(request);
    }
    CgiApplication::EndWhenReaderGoes();
    request();
    return 0;
}
