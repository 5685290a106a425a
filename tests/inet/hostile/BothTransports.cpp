#include "BothTransports.h"

#include <stdlib.h>

#include <memory>

#include "QuarInet.h"

namespace {

const char* KeyOf(Transport t) {
    return t == Transport::kSocket ? "HostileSocket" : "HostileLayer";
}

}  // namespace

void BothTransports::SetUp() {
    unsetenv("http_proxy");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("QUAR_USER_REGISTRY", (scratch_ / "user.reg").c_str(), 1);
    scratch_.Write("user.reg", "REGEDIT4\n\n");
    for (const Transport t : kBothTransports) {
        QuarInetHttpConnection connection(KeyOf(t));
        ASSERT_TRUE(connection.Configure(t == Transport::kLayer ? 1 : 0, 0, "", 80, 0, "", ""));
    }
}

std::unique_ptr<QuarInetHttpRequest> BothTransports::MakeRequest(Transport transport,
                                                                 QuarInetStatusCallback callback) {
    QuarInetHttpConnection connection(KeyOf(transport));
    return std::unique_ptr<QuarInetHttpRequest>(connection.CreateRequest(callback));
}

Answer BothTransports::Exchange(Transport transport, const Call& call, bool onWorker) {
    Answer answer;
    std::unique_ptr<QuarInetHttpRequest> request = MakeRequest(transport);
    if (request == nullptr) {
        ADD_FAILURE() << "no request";
        return answer;
    }
    answer.throughLayer = dynamic_cast<QuarInetHttpRequestWinInetImpl*>(request.get()) != nullptr;
    EXPECT_EQ(transport == Transport::kLayer, answer.throughLayer);
    request->ReceiveTimeout = call.receiveTimeoutMs;
    request->ConnectTimeout = 5000;
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t headersLength = 0, bodyLength = 0;
    if (onWorker) {
        QuarInetThread thread =
            request->OpenUrl(call.host.c_str(), call.port, call.verb.c_str(), call.path.c_str(),
                             call.headers.data(), static_cast<uint32_t>(call.headers.size()),
                             call.body.data(), static_cast<uint32_t>(call.body.size()), &headers,
                             &headersLength, &body, &bodyLength, &answer.result);
        answer.finished = QuarInetWaitForThread(thread, 30000) == QUARINET_WAIT_OBJECT_0;
        if (!answer.finished) {
            request->Abort(0);
            QuarInetWaitForThread(thread, 30000);
        }
        QuarInetCloseThread(thread);
    } else {
        answer.result =
            request->Send(call.host.c_str(), call.port, call.verb.c_str(), call.path.c_str(),
                          call.headers.data(), static_cast<uint32_t>(call.headers.size()),
                          call.body.data(), static_cast<uint32_t>(call.body.size()));
        if (answer.result == 0) {
            answer.result = request->Receive(headers, headersLength, body, bodyLength);
        }
        answer.finished = true;
    }
    answer.headers.assign(headers != nullptr ? headers : "",
                          headers != nullptr ? headersLength : 0);
    answer.body.assign(body != nullptr ? body : "", body != nullptr ? bodyLength : 0);
    QuarInetFree(headers);
    QuarInetFree(body);
    return answer;
}
