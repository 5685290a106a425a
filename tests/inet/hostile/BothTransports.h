// One exchange through either transport of the library, each made the way a client makes it:
// a connection whose settings choose the library's own socket client, and one whose settings
// choose the browser's settings (the platform internet library beside libQuarInet.so). Each test
// runs its table through both.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "QuarInet.h"
#include "support/TempDir.h"

enum class Transport { kSocket, kLayer };

inline const char* NameOf(Transport t) {
    return t == Transport::kSocket ? "socket transport" : "platform library";
}

constexpr Transport kBothTransports[] = {Transport::kSocket, Transport::kLayer};

struct Call {
    std::string host = "127.0.0.1";
    uint32_t port = 0;
    std::string path = "/";
    std::string verb = "GET";
    std::string headers;
    std::string body;
    uint32_t receiveTimeoutMs = 5000;
};

struct Answer {
    uint32_t result = 0xDEAD;
    std::string headers;
    std::string body;
    bool throughLayer = false;  // the request was of the platform library's transport
    bool finished = false;      // the worker ended within the test's patience
};

class BothTransports : public ::testing::Test {
  protected:
    void SetUp() override;
    // A request of `transport`'s settings.
    std::unique_ptr<class QuarInetHttpRequest> MakeRequest(
        Transport transport, QuarInetStatusCallback callback = nullptr);
    // Runs `call` through `transport` on a worker and waits for it (at most 30 s), or with
    // Send and Receive on the calling thread.
    Answer Exchange(Transport transport, const Call& call, bool onWorker = true);

    TempDir scratch_;
};
