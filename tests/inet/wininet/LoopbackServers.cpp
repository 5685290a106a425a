#include "LoopbackServers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

void RunOrThrow(const std::vector<std::string>& argv) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
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
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::runtime_error("no free port");
    }
    close(fd);
    return ntohs(address.sin_port);
}

bool WaitForLoopbackPort(int port, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(port);
        const bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (up) {
            return true;
        }
        usleep(20 * 1000);
    }
    return false;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    pid_ = fork();
    if (pid_ == 0) {
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

namespace {

std::string LighttpdConfig(const std::string& workDir, const std::string& docRoot, int port,
                           const std::vector<TlsSocket>& tls, const std::string& extraConfig) {
    std::string config = "server.document-root = \"" + docRoot + "\"\n" +
                         "server.bind = \"127.0.0.1\"\n" + "server.port = " + std::to_string(port) +
                         "\n" + "server.errorlog = \"" + workDir + "/lighttpd-error.log\"\n" +
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
    return config + extraConfig;
}

}  // namespace

Lighttpd::Lighttpd(const std::string& workDir, const std::string& docRoot, int port,
                   const std::vector<TlsSocket>& tls, const std::string& extraConfig)
    : port_(port),
      process_((WriteText(workDir + "/lighttpd.conf",
                          LighttpdConfig(workDir, docRoot, port, tls, extraConfig)),
                std::vector<std::string>{"lighttpd", "-D", "-f", workDir + "/lighttpd.conf"})) {
    bool up = WaitForLoopbackPort(port, 10000);
    for (const TlsSocket& socket : tls) {
        up = up && WaitForLoopbackPort(socket.port, 10000);
    }
    if (!up) {
        throw std::runtime_error("lighttpd did not start");
    }
}

namespace {

std::string TinyproxyConfig(const std::string& workDir, int port, const std::string& user,
                            const std::string& password) {
    return "Port " + std::to_string(port) + "\nListen 127.0.0.1\nTimeout 60\nMaxClients 20\n" +
           "Allow 127.0.0.1\nLogFile \"" + workDir + "/tinyproxy.log\"\nLogLevel Error\n" +
           "BasicAuth " + user + " " + password + "\n";
}

}  // namespace

Tinyproxy::Tinyproxy(const std::string& workDir, const std::string& user,
                     const std::string& password)
    : port_(FreeLoopbackPort()),
      process_(
          (WriteText(workDir + "/tinyproxy.conf", TinyproxyConfig(workDir, port_, user, password)),
           std::vector<std::string>{"tinyproxy", "-d", "-c", workDir + "/tinyproxy.conf"})) {
    if (!WaitForLoopbackPort(port_, 10000)) {
        throw std::runtime_error("tinyproxy did not start");
    }
}

ScriptedServer::ScriptedServer(std::string head, std::string block, int pauseMs)
    : head_(std::move(head)), block_(std::move(block)), pauseMs_(pauseMs) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (listener_ < 0 ||
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::runtime_error("scripted server cannot listen");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
}

void ScriptedServer::Serve() {
    while (!stop_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (poll(&waiting, 1, 50) <= 0) {
            continue;
        }
        const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        // Read the request up to its blank line (bodies are not used here).
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && !stop_) {
            pollfd in{client, POLLIN, 0};
            if (poll(&in, 1, 50) <= 0) {
                continue;
            }
            const ssize_t got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            request.append(buffer, static_cast<size_t>(got));
        }
        bool open = head_.empty() || send(client, head_.data(), head_.size(), MSG_NOSIGNAL) > 0;
        while (open && !stop_) {
            usleep(static_cast<useconds_t>(pauseMs_) * 1000);
            if (!block_.empty()) {
                open = send(client, block_.data(), block_.size(), MSG_NOSIGNAL) > 0;
            } else {
                // Silent: wait until the client goes.
                pollfd in{client, POLLIN, 0};
                char byte;
                open = poll(&in, 1, 0) == 0 || recv(client, &byte, 1, MSG_DONTWAIT) > 0;
            }
        }
        close(client);
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
