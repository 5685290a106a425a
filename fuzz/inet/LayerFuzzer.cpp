// The browser-settings transport on any bytes a server may send: the platform internet library
// layer, libcurl under it, and the transport's own reading of what the layer hands on (status,
// Location, Content-Length, gzip), against a scripted server on loopback that answers with the
// fuzzer's bytes. The layer's header handling is its own code, apart from the socket transport's.
//
// Input: as the socket transport's target (its corpus seeds this one): a flags byte, then the
// responses of the connections one after another, separated by kSeparator. Flags: bits 0-2 the
// size of the pieces the server sends, bit 3 a connection ends with a reset, bit 4 the verb
// HEAD.
//
// Checked: the result is 0 or a code with a documented text, never "transport missing"; a 0
// result carries a parseable status line, its whole header block as text and, for a 200, a
// body as long as a Content-Length says; what is delivered is as long as its length says.
//
// Nothing leaves loopback: every name is found at 127.0.0.1, and a connection to any other
// address or to another port than the scripted server's is refused before it is made.
#include <arpa/inet.h>
#include <dlfcn.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <poll.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DeliveredChecks.h"
#include "QuarInet.h"
#include "inet/ErrorTable.h"

namespace {

constexpr char kSeparator[] = "\n@@next@@\n";
constexpr size_t kPieces[] = {0, 1, 3, 7, 64, 1000, 4096, 65536};
constexpr char kKey[] = "FuzzLayer";

char gRegistry[] = "/tmp/quar-fuzz-layer-XXXXXX";

// The scripted server: one listener and one thread for the whole run (a server per input would
// spend its time starting and stopping). Each connection reads a request head and gets the next
// response of the current input (the last one repeats), sent in pieces, then a close or a reset.
struct Script {
    std::vector<std::string> responses;
    size_t next = 0;
    size_t piece = 0;
    bool reset = false;
};

class ScriptedServer {
  public:
    ScriptedServer() {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        Check(listener_ >= 0 &&
                  bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  listen(listener_, 16) == 0 &&
                  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0,
              "a loopback listener");
        port_ = ntohs(address.sin_port);
        std::thread([this] { Serve(); }).detach();
    }
    uint16_t port() const { return port_; }
    void SetScript(Script script) {
        std::lock_guard<std::mutex> hold(lock_);
        script_ = std::move(script);
    }

  private:
    void Serve() {
        for (;;) {
            const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            Script script;
            std::string reply;
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (!script_.responses.empty()) {
                    const size_t n = std::min(script_.next++, script_.responses.size() - 1);
                    reply = script_.responses[n];
                }
                script.piece = script_.piece;
                script.reset = script_.reset;
            }
            Answer(fd, reply, script);
        }
    }
    static void Answer(int fd, const std::string& reply, const Script& script) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd p{fd, POLLIN, 0};
            const ssize_t n = poll(&p, 1, 2000) > 0 ? recv(fd, buffer, sizeof buffer, 0) : -1;
            if (n <= 0) {
                break;
            }
            request.append(buffer, static_cast<size_t>(n));
        }
        const size_t piece = script.piece != 0 ? script.piece : reply.size();
        for (size_t at = 0; at < reply.size(); at += piece) {
            if (send(fd, reply.data() + at, std::min(piece, reply.size() - at), MSG_NOSIGNAL) < 0) {
                break;
            }
        }
        if (script.reset) {
            const linger abrupt{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &abrupt, sizeof abrupt);
        }
        close(fd);
    }

    int listener_ = -1;
    uint16_t port_ = 0;
    std::mutex lock_;
    Script script_;
};

ScriptedServer& TheServer() {
    static ScriptedServer* server = new ScriptedServer();  // its thread runs to the end
    return *server;
}

bool ToTheServer(const sockaddr* address) {
    if (address->sa_family != AF_INET) {
        return false;
    }
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    return ntohl(v4->sin_addr.s_addr) == INADDR_LOOPBACK &&
           ntohs(v4->sin_port) == TheServer().port();
}

}  // namespace

// This program's lookup and connect, which libcurl calls in place of the C library's.
extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result) {
    using Lookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const Lookup real = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "getaddrinfo"));
    return real(node != nullptr ? "127.0.0.1" : nullptr, service, hints, result);
}

extern "C" int connect(int fd, const sockaddr* address, socklen_t length) {
    using Connect = int (*)(int, const sockaddr*, socklen_t);
    static const Connect real = reinterpret_cast<Connect>(dlsym(RTLD_NEXT, "connect"));
    if (address->sa_family != AF_UNIX && !ToTheServer(address)) {
        errno = ECONNREFUSED;
        return -1;
    }
    return real(fd, address, length);
}

// Leaks are looked for after inputs, not at exit: a name-lookup thread libcurl leaves to finish
// can crash the exit-time checker, which stops every thread.
extern "C" const char* __lsan_default_options() {
    return "leak_check_at_exit=0";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const int fd = mkstemp(gRegistry);
    Check(fd >= 0 && write(fd, "REGEDIT4\n\n", 10) == 10, "a registry file");
    close(fd);
    atexit([] { unlink(gRegistry); });
    setenv("QUAR_USER_REGISTRY", gRegistry, 1);
    setenv("QUAR_WININET_MODULE", WININET_LAYER, 1);
    unsetenv("http_proxy");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    QuarInetHttpConnection connection(kKey);
    Check(connection.Configure(1, 0, "", 80, 0, "", ""), "browser settings chosen");
    // The layer is loaded before the first input, so that its code counts from the start.
    std::unique_ptr<QuarInetHttpRequest> request(connection.CreateRequest(nullptr));
    Check(dynamic_cast<QuarInetHttpRequestWinInetImpl*>(request.get()) != nullptr,
          "the layer is there");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t flags = data[0];
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    Script script;
    script.piece = kPieces[flags & 7];
    script.reset = (flags & 8) != 0;
    for (size_t from = 0;;) {
        const size_t cut = input.find(kSeparator, from);
        script.responses.push_back(input.substr(from, cut - from));
        if (cut == std::string::npos) {
            break;
        }
        from = cut + sizeof kSeparator - 1;
    }
    const char* verb = (flags & 16) ? "HEAD" : "GET";
    ScriptedServer& server = TheServer();
    server.SetScript(std::move(script));
    QuarInetHttpConnection connection(kKey);
    std::unique_ptr<QuarInetHttpRequest> request(connection.CreateRequest(nullptr));
    Check(request != nullptr, "a request");
    request->ConnectTimeout = 2000;
    request->ReceiveTimeout = 2000;
    const char head[] = "Accept: */*\r\n";
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t headersLength = 0, bodyLength = 0;
    uint32_t rc = request->Send("127.0.0.1", server.port(), verb, "/dir/page?q=1", head,
                                sizeof head - 1, nullptr, 0);
    if (rc == 0) {
        rc = request->Receive(headers, headersLength, body, bodyLength);
    }

    Check(rc == 0 || (rc != QUARINET_ERROR_NO_TRANSPORT && inet::FindErrorText(rc) != nullptr),
          "result is a documented code");
    CheckDelivered(rc, verb, headers, headersLength, body, bodyLength);
    QuarInetFree(headers);
    QuarInetFree(body);
    return 0;
}
