#include "support/RawServer.h"

#include <arpa/inet.h>
#include <ctype.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace {

int Listen(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Waits up to 50 ms for `fd` to become readable.
bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 50) > 0;
}

// Sends all of `data`; false once the client has gone.
bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

RawServer::RawServer(std::vector<RawReply> replies) : replies_(std::move(replies)) {
    listener_ = Listen(port_);
    for (RawReply& reply : replies_) {
        for (size_t at; (at = reply.bytes.find("{PORT}")) != std::string::npos;) {
            reply.bytes.replace(at, 6, std::to_string(port_));
        }
    }
    thread_ = std::thread([this] { Serve(); });
}

RawServer::~RawServer() {
    stop_.store(true);
    thread_.join();
    ::close(listener_);
}

std::vector<std::string> RawServer::Requests() {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
}

void RawServer::Serve() {
    for (size_t served = 0; !Stopping();) {
        if (!Readable(listener_)) {
            continue;
        }
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        const RawReply& reply = replies_[served < replies_.size() ? served : replies_.size() - 1];
        ++served;
        Answer(fd, reply);
        ::close(fd);
    }
}

void RawServer::Answer(int fd, const RawReply& reply) {
    if (reply.hangUp) {
        linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        return;
    }
    std::string request;
    size_t wanted = std::string::npos;
    char block[65536];
    while (!Stopping() && request.size() != wanted) {
        if (!Readable(fd)) {
            continue;
        }
        const ssize_t n = ::recv(fd, block, sizeof block, 0);
        if (n <= 0) {
            break;
        }
        request.append(block, static_cast<size_t>(n));
        const size_t end = request.find("\r\n\r\n");
        if (wanted == std::string::npos && end != std::string::npos) {
            std::string head = request.substr(0, end);
            for (char& c : head) {
                c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
            }
            const size_t field = head.find("\r\ncontent-length: ");
            wanted =
                end + 4 +
                (field != std::string::npos && field < end ? std::stoul(request.substr(field + 18))
                                                           : 0);
        }
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        requests_.push_back(request);
    }
    const size_t piece = reply.piece == 0 ? reply.bytes.size() : reply.piece;
    bool open = true;
    for (size_t at = 0; open && at < reply.bytes.size() && !Stopping(); at += piece) {
        open = WriteAll(fd, reply.bytes.data() + at, std::min(piece, reply.bytes.size() - at));
        if (reply.pauseMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(reply.pauseMs));
        }
    }
    while (open && !reply.endless.empty() && !Stopping()) {
        open = WriteAll(fd, reply.endless.data(), reply.endless.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(reply.pauseMs));
    }
    if (reply.silent) {
        while (open && !Stopping()) {
            open = !Readable(fd) || ::recv(fd, block, sizeof block, 0) > 0;
        }
        return;
    }
    if (reply.reset) {
        linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
}
