#include "support/CgiRunner.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "support/FastCgiApps.h"

namespace {

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

CgiResult RunCgi(const CgiRequest& request) {
    // [0] is the reading end, [1] the writing end, as pipe2 gives them.
    int in[2], out[2];
    const auto streams = [&request](int ends[2], bool records) {
        if (records) {
            return ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) == 0;
        }
        return request.socketStreams
                   ? ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0
                   : ::pipe2(ends, O_CLOEXEC) == 0;
    };
    if (!streams(in, false) || !streams(out, request.countWrites)) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> envText;
    for (const auto& [name, value] : request.env) {
        envText.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& text : envText) {
        envp.push_back(text.data());
    }
    envp.push_back(nullptr);
    std::string argv0 = request.argv0.empty() ? request.program : request.argv0;
    std::vector<std::string> args = {argv0};
    std::string program = request.program;
    if (ThroughFastCgi(request)) {
        program = kCgiFcgiBridge;
        args = {"cgi-fcgi", "-bind", "-connect", FastCgiSocketFor(request)};
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        if (request.runAsUid >= 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(static_cast<gid_t>(request.runAsUid)) != 0 ||
             ::setuid(static_cast<uid_t>(request.runAsUid)) != 0)) {
            std::_Exit(125);
        }
        // A web server ignores SIGPIPE, and its CGI programs inherit that.
        ::signal(SIGPIPE, SIG_IGN);
        if (request.fileSizeLimit >= 0) {
            const rlimit limit{static_cast<rlim_t>(request.fileSizeLimit),
                               static_cast<rlim_t>(request.fileSizeLimit)};
            ::signal(SIGXFSZ, SIG_IGN);
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                std::_Exit(124);
            }
        }
        if (!request.workingDirectory.empty() && ::chdir(request.workingDirectory.c_str()) != 0) {
            std::_Exit(126);
        }
        ::execve(program.c_str(), argv.data(), envp.data());
        std::_Exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    int writeFd = in[1], readFd = out[0];
    ::signal(SIGPIPE, SIG_IGN);

    CgiResult result;
    std::size_t written = 0;
    if (request.stdinData.empty()) {
        CloseIfOpen(writeFd);
    }
    char buffer[65536];
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(request.timeoutSeconds);
    while (readFd >= 0) {
        pollfd fds[2] = {{readFd, POLLIN, 0}, {writeFd, POLLOUT, 0}};
        const nfds_t count = writeFd >= 0 ? 2 : 1;
        int wait = -1;
        if (request.timeoutSeconds > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                ::kill(pid, SIGKILL);
                break;
            }
            wait = static_cast<int>(left.count());
        }
        const int ready = ::poll(fds, count, wait);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (ready == 0) {
            continue;
        }
        if (count == 2 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = ::write(writeFd, request.stdinData.data() + written,
                                      request.stdinData.size() - written);
            if (n <= 0) {
                CloseIfOpen(writeFd);
            } else {
                written += static_cast<std::size_t>(n);
                if (written == request.stdinData.size()) {
                    CloseIfOpen(writeFd);
                }
            }
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::read(readFd, buffer, sizeof buffer);
            if (n <= 0) {
                CloseIfOpen(readFd);
            } else {
                result.output.append(buffer, static_cast<std::size_t>(n));
                ++result.writes;
                if (request.outputLimit >= 0 &&
                    result.output.size() >= static_cast<std::size_t>(request.outputLimit)) {
                    CloseIfOpen(readFd);
                }
            }
        }
    }
    CloseIfOpen(writeFd);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, request.timeoutSeconds > 0 ? WNOHANG : 0);
        if (done == pid || (done < 0 && errno != EINTR)) {
            break;
        }
        if (done == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid, SIGKILL);
            }
            ::usleep(2000);
        }
    }
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

CgiAnswer SplitAnswer(const std::string& output) {
    const std::size_t end = output.find("\r\n\r\n");
    if (end == std::string::npos) {
        return {output, std::string()};
    }
    return {output.substr(0, end + 4), output.substr(end + 4)};
}
