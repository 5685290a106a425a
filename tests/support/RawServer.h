// A scripted HTTP server on 127.0.0.1 for answers that real servers will not give (slow, silent,
// cut, endless): each accepted connection has its request read (head, then as many body bytes as
// its Content-Length says) and recorded, and gets the next scripted reply (the last one repeats).
// Connections are served one after another on the server's own thread, which the destructor
// stops.
#pragma once

#include <stdint.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct RawReply {
    // The answer; "{PORT}" stands for the server's own port.
    std::string bytes;
    // Sent in pieces of this many bytes with a pause between them (0: at once).
    size_t piece = 0;
    int pauseMs = 0;
    // After `bytes`, hold the connection silent until the client closes it.
    bool silent = false;
    // After `bytes`, send this again and again, `pauseMs` before each, until the client goes.
    std::string endless = {};
    // End with a reset instead of an orderly close.
    bool reset = false;
    // Close at once, without reading the request.
    bool hangUp = false;

    static RawReply Plain(std::string bytes) { return RawReply{std::move(bytes)}; }
    static RawReply Trickle(std::string bytes, size_t piece, int pauseMs) {
        RawReply r{std::move(bytes)};
        r.piece = piece;
        r.pauseMs = pauseMs;
        return r;
    }
    static RawReply Silent(std::string head = "") {
        RawReply r{std::move(head)};
        r.silent = true;
        return r;
    }
    static RawReply Endless(std::string head, std::string block, int pauseMs) {
        RawReply r{std::move(head)};
        r.endless = std::move(block);
        r.pauseMs = pauseMs;
        return r;
    }
    static RawReply ResetAfter(std::string bytes) {
        RawReply r{std::move(bytes)};
        r.reset = true;
        return r;
    }
    static RawReply HangUp() {
        RawReply r;
        r.hangUp = true;
        return r;
    }
};

class RawServer {
  public:
    explicit RawServer(std::vector<RawReply> replies);
    ~RawServer();
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    uint16_t port() const { return port_; }
    // The requests received so far, byte for byte.
    std::vector<std::string> Requests();

  private:
    void Serve();
    void Answer(int fd, const RawReply& reply);
    bool Stopping() const { return stop_.load(); }

    std::vector<RawReply> replies_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<std::string> requests_;
    std::thread thread_;
};
