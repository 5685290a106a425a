#include "LoopbackServers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
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
    kill(pid_, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

uint16_t FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool WaitForPort(uint16_t port, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (up) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

namespace {

// Echoes what the CGI saw of the request, then the body.
constexpr const char* kEchoCgi =
    "printf 'Content-Type: text/plain\\r\\n\\r\\n'\n"
    "printf 'method=%s\\n' \"$REQUEST_METHOD\"\n"
    "printf 'uri=%s\\n' \"$REQUEST_URI\"\n"
    "printf 'type=%s\\n' \"$CONTENT_TYPE\"\n"
    "printf 'length=%s\\n' \"$CONTENT_LENGTH\"\n"
    "printf 'proxy-authorization=%s\\n\\n' \"$HTTP_PROXY_AUTHORIZATION\"\n"
    "head -c \"${CONTENT_LENGTH:-0}\"\n";

}  // namespace

Lighttpd::Lighttpd(const std::vector<std::pair<std::string, std::string>>& files) {
    const std::string root = dir_ / "www";
    std::filesystem::create_directories(root + "/private");
    for (const auto& [name, content] : files) {
        std::filesystem::create_directories(std::filesystem::path(root + "/" + name).parent_path());
        WriteFile(root + "/" + name, content);
    }
    WriteFile(root + "/echo.cgi", kEchoCgi);
    WriteFile(root + "/private/secret.txt", "secret\n");
    WriteFile(dir_ / "users", std::string(kUser) + "\n");
    port_ = FreePort();
    const std::string conf =
        "server.document-root = \"" + root +
        "\"\n"
        "server.port = " +
        std::to_string(port_) +
        "\n"
        "server.bind = \"127.0.0.1\"\n"
        "server.errorlog = \"" +
        (dir_ / "error.log") +
        "\"\n"
        "server.max-connections = 256\n"
        "server.modules = (\"mod_redirect\", \"mod_auth\", \"mod_authn_file\", \"mod_cgi\","
        " \"mod_setenv\")\n"
        "mimetype.assign = (\".txt\" => \"text/plain\", \"\" => \"application/octet-stream\")\n"
        "cgi.assign = (\".cgi\" => \"/bin/sh\")\n"
        "auth.backend = \"plain\"\n"
        "auth.backend.plain.userfile = \"" +
        (dir_ / "users") +
        "\"\n"
        "auth.require = (\"/private/\" => (\"method\" => \"basic\", \"realm\" => \"quar\","
        " \"require\" => \"valid-user\"))\n"
        "$HTTP[\"url\"] =~ \"\\.gz$\" {\n"
        "  setenv.set-response-header = (\"Content-Encoding\" => \"gzip\")\n"
        "}\n"
        "$HTTP[\"url\"] == \"/r301\" { url.redirect = (\"\" => \"/hello.txt\")\n"
        "  url.redirect-code = 301 }\n"
        "$HTTP[\"url\"] == \"/r302\" { url.redirect = (\"\" => \"/hello.txt\")\n"
        "  url.redirect-code = 302 }\n"
        "$HTTP[\"url\"] == \"/dir/r307\" { url.redirect = (\"\" => \"../hello.txt\")\n"
        "  url.redirect-code = 307 }\n"
        "$HTTP[\"url\"] == \"/loop\" { url.redirect = (\"\" => \"/loop\")\n"
        "  url.redirect-code = 302 }\n";
    WriteFile(dir_ / "lighttpd.conf", conf);
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"lighttpd", "-D", "-f", dir_ / "lighttpd.conf"});
    if (!WaitForPort(port_, 10)) {
        throw std::runtime_error("lighttpd did not start: " + ReadFile(dir_ / "error.log"));
    }
}

Tinyproxy::Tinyproxy(const std::string& user, const std::string& password) {
    port_ = FreePort();
    const std::string conf = "Port " + std::to_string(port_) +
                             "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n"
                             "MaxClients 100\nLogLevel Error\nDisableViaHeader Yes\n"
                             "LogFile \"" +
                             (dir_ / "tinyproxy.log") + "\"\nBasicAuth " + user + " " + password +
                             "\n";
    WriteFile(dir_ / "tinyproxy.conf", conf);
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"tinyproxy", "-d", "-c", dir_ / "tinyproxy.conf"});
    if (!WaitForPort(port_, 10)) {
        throw std::runtime_error("tinyproxy did not start");
    }
}
