#include "support/LoopbackServers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>

namespace {

// How long a server may take to accept connections, and a stopped one to go.
constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 2000;
constexpr int kPollStepMs = 20;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// The argument vector for exec, built before the fork: the child only calls exec.
std::vector<char*> ExecArguments(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    return args;
}

// Runs `argv` to its end with its output discarded; throws unless it exits with 0.
void RunOrThrow(const std::vector<std::string>& argv) {
    std::vector<char*> args = ExecArguments(argv);
    const pid_t pid = fork();
    if (pid == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        throw std::runtime_error("command failed: " + argv[0]);
    }
}

}  // namespace

int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    const bool bound = fd >= 0 &&
                       bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    if (fd >= 0) {
        close(fd);
    }
    if (!bound) {
        throw std::runtime_error("no free port");
    }
    return ntohs(address.sin_port);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args = ExecArguments(argv);
    pid_ = fork();
    if (pid_ == 0) {
        execvp(args[0], args.data());
        _exit(127);
    }
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
}

ChildProcess::~ChildProcess() {
    if (Ended()) {
        return;
    }
    kill(pid_, SIGTERM);
    for (int waited = 0; waited < kStopTimeoutMs; waited += kPollStepMs) {
        if (Ended()) {
            return;
        }
        usleep(kPollStepMs * 1000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

bool ChildProcess::Ended() {
    ended_ = ended_ || waitpid(pid_, nullptr, WNOHANG) == pid_;
    return ended_;
}

bool WaitForLoopbackPort(int port, int timeoutMs, ChildProcess* server) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(port);
        const bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (up) {
            return true;
        }
        if (server != nullptr && server->Ended()) {
            return false;
        }
        usleep(kPollStepMs * 1000);
    }
    return false;
}

namespace {

// Writes lighttpd's configuration into `dir` and gives the command that runs it.
std::vector<std::string> LighttpdCommand(const TempDir& dir, const std::string& docRoot, int port,
                                         const std::vector<TlsSocket>& tls,
                                         const std::string& extraConfig) {
    std::string config = "server.document-root = \"" + docRoot + "\"\n" +
                         "server.bind = \"127.0.0.1\"\n" + "server.port = " + std::to_string(port) +
                         "\n" + "server.errorlog = \"" + (dir / "error.log") + "\"\n" +
                         "server.modules += (\"mod_redirect\", \"mod_setenv\")\n" +
                         "mimetype.assign = (\".txt\" => \"text/plain\", \"\" => "
                         "\"application/octet-stream\")\n";
    if (!tls.empty()) {
        config += "server.modules += (\"mod_openssl\")\n";
    }
    for (const TlsSocket& socket : tls) {
        config += "$SERVER[\"socket\"] == \"127.0.0.1:" + std::to_string(socket.port) +
                  "\" {\n  ssl.engine = \"enable\"\n  ssl.pemfile = \"" + socket.pemFile +
                  "\"\n}\n";
    }
    dir.Write("lighttpd.conf", config + extraConfig);
    return {"lighttpd", "-D", "-f", dir / "lighttpd.conf"};
}

// Writes tinyproxy's configuration into `dir` and gives the command that runs it.
std::vector<std::string> TinyproxyCommand(const TempDir& dir, int port, const std::string& user,
                                          const std::string& password,
                                          const std::string& extraConfig) {
    dir.Write("tinyproxy.conf",
              "Port " + std::to_string(port) + "\nListen 127.0.0.1\nTimeout 60\nMaxClients 100\n" +
                  "Allow 127.0.0.1\nLogFile \"" + (dir / "tinyproxy.log") + "\"\nLogLevel Error\n" +
                  "BasicAuth " + user + " " + password + "\n" + extraConfig);
    return {"tinyproxy", "-d", "-c", dir / "tinyproxy.conf"};
}

}  // namespace

Lighttpd::Lighttpd(const std::string& docRoot, int port, const std::vector<TlsSocket>& tls,
                   const std::string& extraConfig)
    : port_(port != 0 ? port : FreeLoopbackPort()),
      process_(LighttpdCommand(dir_, docRoot, port_, tls, extraConfig)) {
    bool up = WaitForLoopbackPort(port_, kStartTimeoutMs, &process_);
    for (const TlsSocket& socket : tls) {
        up = up && WaitForLoopbackPort(socket.port, kStartTimeoutMs, &process_);
    }
    if (!up) {
        throw std::runtime_error("lighttpd did not start: " + dir_.Read("error.log"));
    }
}

Tinyproxy::Tinyproxy(const std::string& user, const std::string& password,
                     const std::string& extraConfig)
    : port_(FreeLoopbackPort()),
      process_(TinyproxyCommand(dir_, port_, user, password, extraConfig)) {
    if (!WaitForLoopbackPort(port_, kStartTimeoutMs, &process_)) {
        throw std::runtime_error("tinyproxy did not start: " + dir_.Read("tinyproxy.log"));
    }
}

void MakeSelfSignedCertificate(const std::string& pemFile, const std::string& certFile,
                               const std::string& names) {
    const std::string key = pemFile + ".key";
    RunOrThrow({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                "/CN=quar-test " + names, "-addext", "subjectAltName=" + names, "-keyout", key,
                "-out", certFile});
    std::ifstream keyIn(key), certIn(certFile);
    std::ofstream out(pemFile, std::ios::trunc);
    out << certIn.rdbuf() << keyIn.rdbuf();
}
