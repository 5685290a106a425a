// What the client tests share: a private user registry, requests made through the public
// connection class, a recorder of status events and the exchange run on the caller's thread.
#pragma once

#include <stdlib.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FileBytes.h"
#include "LibraryBuffer.h"
#include "QuarInet.h"
#include "support/TempDir.h"

struct Event {
    uint32_t status;
    std::string info;  // text events: the text; counts: the number in decimal
    bool operator==(const Event& o) const { return status == o.status && info == o.info; }
};

inline std::ostream& operator<<(std::ostream& out, const Event& e) {
    return out << e.status << (e.info.empty() ? "" : ":" + e.info);
}

// Events per request, found through the callback's context (the request's address).
class EventRecorder {
  public:
    static EventRecorder& Of(QuarInetHttpRequest* request) {
        std::lock_guard<std::mutex> hold(Lock());
        return Recorders()[reinterpret_cast<uintptr_t>(request)];
    }
    // Drops what an earlier request at the same address reported.
    static void Forget(QuarInetHttpRequest* request) {
        std::lock_guard<std::mutex> hold(Lock());
        Recorders().erase(reinterpret_cast<uintptr_t>(request));
    }
    static void Callback(void* handle, uintptr_t context, uint32_t status, void* info,
                         uint32_t length) {
        std::string text;
        if (status == QUARINET_STATUS_REDIRECT) {
            text = static_cast<const char*>(info);
        } else if (length == 4 && status >= 31 && status <= 41) {
            text = std::to_string(*static_cast<const uint32_t*>(info));
        } else if (info != nullptr) {
            text.assign(static_cast<const char*>(info), length);
        }
        std::lock_guard<std::mutex> hold(Lock());
        Recorders()[context].events_.push_back({status, text});
        Recorders()[context].handles_.push_back(handle);
    }
    std::vector<Event> Events() {
        std::lock_guard<std::mutex> hold(Lock());
        return events_;
    }
    // The status numbers only, with runs of 40 after the first folded into one.
    std::vector<uint32_t> Statuses() {
        std::vector<uint32_t> out;
        bool counting = false;
        for (const Event& e : Events()) {
            const bool count40 = e.status == 40 && !e.info.empty();
            if (!(count40 && counting)) {
                out.push_back(e.status);
            }
            counting = count40;
        }
        return out;
    }

  private:
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static std::map<uintptr_t, EventRecorder>& Recorders() {
        static std::map<uintptr_t, EventRecorder> recorders;
        return recorders;
    }
    std::vector<Event> events_;
    std::vector<void*> handles_;

  public:
    // The handle of each event, in order.
    std::vector<void*> Handles() {
        std::lock_guard<std::mutex> hold(Lock());
        return handles_;
    }
};

// The outcome of one exchange.
struct Outcome {
    uint32_t result = 0xDEAD;
    LibraryBuffer<char> headers;
    LibraryBuffer<char> body;
    uint32_t headersLength = 0;
    uint32_t bodyLength = 0;
    std::string Headers() const { return headers ? std::string(headers.get(), headersLength) : ""; }
    std::string Body() const { return body ? std::string(body.get(), bodyLength) : ""; }
};

class ClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("QUAR_USER_REGISTRY", (dir_ / "user.reg").c_str(), 1);
        unsetenv("http_proxy");
    }

    // A request over settings stored with the direct-values Configure.
    std::unique_ptr<QuarInetHttpRequest> MakeRequest(int proxy = 0, const std::string& address = "",
                                                     uint32_t port = 80, int auth = 0,
                                                     const char* user = "",
                                                     const char* password = "") {
        QuarInetHttpConnection connection("client-test");
        EXPECT_TRUE(connection.Configure(0, proxy, address.c_str(), port, auth, user, password));
        std::unique_ptr<QuarInetHttpRequest> request(
            connection.CreateRequest(&EventRecorder::Callback));
        EXPECT_NE(nullptr, request);
        EventRecorder::Forget(request.get());
        return request;
    }

    // Send, then Receive on this thread.
    static Outcome Exchange(QuarInetHttpRequest& request, const char* host, uint32_t port,
                            const char* path, const std::string& headers = "",
                            const char* verb = "GET", const std::string& body = "") {
        Outcome out;
        out.result = request.Send(host, port, verb, path, headers.c_str(),
                                  static_cast<uint32_t>(headers.size()), body.data(),
                                  static_cast<uint32_t>(body.size()));
        if (out.result != 0) {
            return out;
        }
        char* h = nullptr;
        char* b = nullptr;
        out.result = request.Receive(h, out.headersLength, b, out.bodyLength);
        out.headers.reset(h);
        out.body.reset(b);
        return out;
    }

    TempDir dir_;
};
