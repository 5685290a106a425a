#include "support/FastCgiApps.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>

#include "support/CgiRunner.h"

namespace {

class Applications {
  public:
    Applications() {
        char pattern[] = "/tmp/quar-fastcgi-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        dir_ = pattern;
        ::chmod(dir_.c_str(), 0755);  // a program run as another user reaches its socket
    }
    ~Applications() {
        for (const auto& [key, app] : apps_) {
            ::kill(app.pid, SIGTERM);
            ::waitpid(app.pid, nullptr, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string SocketFor(const CgiRequest& request) {
        const std::lock_guard<std::mutex> lock(mutex_);  // tests run requests from threads
        const std::string argv0 = request.argv0.empty() ? request.program : request.argv0;
        const std::string key = request.program + '\n' + argv0 + '\n' + request.workingDirectory +
                                '\n' + std::to_string(request.runAsUid) + '\n' +
                                std::to_string(request.fileSizeLimit);
        const auto found = apps_.find(key);
        if (found != apps_.end()) {
            return found->second.socket;
        }
        const std::string socket = dir_ + "/app" + std::to_string(apps_.size()) + ".sock";
        apps_[key] = {Start(request, argv0, socket, dir_ + "/errors.log"), socket};
        return socket;
    }

  private:
    struct App {
        pid_t pid;
        std::string socket;
    };

    static pid_t Start(const CgiRequest& request, std::string argv0, const std::string& socket,
                       const std::string& errors) {
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
        if (listener < 0 ||
            ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::chmod(socket.c_str(), 0777) != 0 || ::listen(listener, 64) != 0) {
            throw std::runtime_error("FastCGI socket failed: " + socket);
        }
        const pid_t pid = ::fork();
        if (pid < 0) {
            throw std::runtime_error("fork failed");
        }
        if (pid == 0) {
            // As a web server starts an application: the listening socket as standard input,
            // nothing to read on standard output, an error log, and an environment of its own;
            // no descriptor of the test's, so that an application left over holds none of its
            // pipes.
            const int null = ::open("/dev/null", O_RDWR);
            const int log = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (::dup2(listener, STDIN_FILENO) < 0 || ::dup2(null, STDOUT_FILENO) < 0 ||
                ::dup2(log, STDERR_FILENO) < 0 || ::close_range(3, ~0u, 0) != 0) {
                std::_Exit(120);
            }
            if (request.fileSizeLimit >= 0) {
                const rlimit limit{static_cast<rlim_t>(request.fileSizeLimit),
                                   static_cast<rlim_t>(request.fileSizeLimit)};
                ::signal(SIGXFSZ, SIG_IGN);
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                    std::_Exit(124);
                }
            }
            if (request.runAsUid >= 0 && (::setgroups(0, nullptr) != 0 ||
                                          ::setgid(static_cast<gid_t>(request.runAsUid)) != 0 ||
                                          ::setuid(static_cast<uid_t>(request.runAsUid)) != 0)) {
                std::_Exit(125);
            }
            if (!request.workingDirectory.empty() &&
                ::chdir(request.workingDirectory.c_str()) != 0) {
                std::_Exit(126);
            }
            char* argv[] = {argv0.data(), nullptr};
            char path[] = "PATH=/usr/bin:/bin";
            char* envp[] = {path, nullptr};
            ::execve(request.program.c_str(), argv, envp);
            std::_Exit(127);
        }
        ::close(listener);
        return pid;
    }

    std::mutex mutex_;
    std::string dir_;
    std::map<std::string, App> apps_;
};

Applications& Running() {
    static Applications applications;
    return applications;
}

}  // namespace

bool ThroughFastCgi(const CgiRequest& request) {
    const char* on = std::getenv("QUAR_TEST_FASTCGI");
    if (on == nullptr || *on == '\0') {
        return false;
    }
    const std::string name = std::filesystem::path(request.program).filename().string();
    return name == "quarnbxadmin" || name == "quarnbx" || name == "quarnbxpic";
}

std::string FastCgiSocketFor(const CgiRequest& request) {
    return Running().SocketFor(request);
}
