// The socket transport's response handling on any bytes a server may send: Send and Receive of
// a request over a socket table whose connections answer with the fuzzer's bytes, so status
// lines, header blocks, Content-Length, gzip bodies and redirects come from the input.
//
// Input: a flags byte, then the responses of the connections one after another, separated by
// kSeparator. Flags: bits 0-2 the size of the pieces recv hands out, bit 3 a connection ends
// with a reset instead of a close, bit 4 the verb HEAD, bit 5 a small response limit (else the
// exchange is also run with the body streamed to a sink, which must give the same).
//
// Checked: the result is one of the documented codes; a 0 result carries a parseable status
// line, its whole header block as text and a body as long as a Content-Length says; what is
// delivered is as long as its length says and NUL-terminated.
#include <arpa/inet.h>
#include <netdb.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "DeliveredChecks.h"
#include "QuarInet.h"
#include "inet/SocketLibrary.h"
#include "inet/SocketRequest.h"

namespace {

constexpr char kSeparator[] = "\n@@next@@\n";
constexpr size_t kPieces[] = {1, 2, 3, 7, 64, 1000, 4096, 65536};
constexpr int kRefused = 10061;
constexpr int kReset = 10054;

// The scripted peer. The socket table holds plain function pointers, so the script they read
// is the fuzzer's one input at a time.
struct Script {
    std::vector<std::string> responses;
    size_t next = 0;  // the response the next connect gets
    const std::string* current = nullptr;
    size_t read = 0;
    size_t piece = 1;
    bool resetAtEnd = false;
    int lastError = 0;
};
Script& TheScript() {
    static Script script;
    return script;
}

using inet::wsock::SOCKET;
SOCKET FakeSocket(int, int, int) {
    return 7;
}
int FakeClose(SOCKET) {
    return 0;
}
int FakeConnect(SOCKET, const sockaddr*, int) {
    Script& s = TheScript();
    if (s.next >= s.responses.size()) {
        s.lastError = kRefused;
        return -1;
    }
    s.current = &s.responses[s.next++];
    s.read = 0;
    return 0;
}
int FakeSend(SOCKET, const char*, int size, int) {
    return size;
}
int FakeRecv(SOCKET, char* buffer, int size, int) {
    Script& s = TheScript();
    if (s.current == nullptr || s.read >= s.current->size()) {
        if (s.resetAtEnd) {
            s.lastError = kReset;
            return -1;
        }
        return 0;
    }
    size_t n = s.current->size() - s.read;
    n = n < s.piece ? n : s.piece;
    n = n < static_cast<size_t>(size) ? n : static_cast<size_t>(size);
    memcpy(buffer, s.current->data() + s.read, n);
    s.read += n;
    return static_cast<int>(n);
}
int FakeSetOption(SOCKET, int, int, const char*, int) {
    return 0;
}
int FakeLastError() {
    return TheScript().lastError;
}
// Every name is found, at 127.0.0.2 (runs on the lookup's helper thread).
int FakeLookup(const char*, const char*, const addrinfo*, addrinfo** found) {
    static sockaddr_in address = [] {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(0x7F000002);
        return a;
    }();
    static addrinfo info = [] {
        addrinfo i{};
        i.ai_family = AF_INET;
        i.ai_addr = reinterpret_cast<sockaddr*>(&address);
        i.ai_addrlen = sizeof address;
        return i;
    }();
    *found = &info;
    return 0;
}
void FakeFreeLookup(addrinfo*) {}
int FakeShutdown(SOCKET, int) {
    return 0;
}
uint16_t HostToNet(uint16_t v) {
    return htons(v);
}
uint32_t AddressOf(const char* text) {
    return inet_addr(text);
}
char* DottedOf(in_addr a) {
    return inet_ntoa(a);
}

inet::SocketLibrary FakeTable() {
    inet::SocketLibrary t;
    t.closesocket = FakeClose;
    t.connect = FakeConnect;
    t.htons = HostToNet;
    t.inet_addr = AddressOf;
    t.inet_ntoa = DottedOf;
    t.recv = FakeRecv;
    t.send = FakeSend;
    t.socket = FakeSocket;
    t.setsockopt = FakeSetOption;
    t.WSAGetLastError = FakeLastError;
    t.getaddrinfo = FakeLookup;
    t.freeaddrinfo = FakeFreeLookup;
    t.shutdown = FakeShutdown;
    return t;
}

bool Documented(uint32_t rc) {
    switch (rc) {
        case 0:
        case QUARINET_ERROR_INVALID_HANDLE:
        case QUARINET_ERROR_NOT_ENOUGH_MEMORY:
        case QUARINET_ERROR_INVALID_PARAMETER:
        case QUARINET_ERROR_NO_HEADER_END:  // also a reset, and a body cut short
        case QUARINET_ERROR_STATUS:
        case QUARINET_ERROR_INVALID_RESPONSE:
        case QUARINET_ERROR_REDIRECT_LIMIT:
        case QUARINET_ERROR_CONTENT_DECODING:
        case kRefused:
            return true;
        default:
            return false;
    }
}

// One Send and Receive over the scripted connections, from the first response on.
uint32_t Exchange(const char* verb, bool limited, const QuarInetBodySink* sink, char*& headers,
                  uint32_t& headersLength, char*& body, uint32_t& bodyLength) {
    static const inet::SocketLibrary table = FakeTable();
    Script& script = TheScript();
    script.next = 0;
    script.current = nullptr;
    script.read = 0;
    script.lastError = 0;
    QuarInetOptions options;
    QuarInetHttpRequestWinSockImpl request(options, nullptr, nullptr);
    QuarInetWinSockState& state = QuarInetWinSockState::Of(request);
    state.library = &table;
    if (limited) {
        state.responseLimit = 4096;
    }
    request.BodySink = sink;
    const char head[] = "Accept: */*\r\n";
    const uint32_t rc =
        request.Send("127.0.0.1", 80, verb, "/dir/page?q=1", head, sizeof head - 1, nullptr, 0);
    return rc != 0 ? rc : request.Receive(headers, headersLength, body, bodyLength);
}

// What a body sink was handed.
struct Streamed {
    std::string headers;
    std::string body;
    static uint32_t OnHeaders(void* self, const char* bytes, uint32_t length) {
        static_cast<Streamed*>(self)->headers.assign(bytes, length);
        return 0;
    }
    static uint32_t OnBody(void* self, const char* bytes, uint32_t length) {
        static_cast<Streamed*>(self)->body.append(bytes, length);
        return 0;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t flags = data[0];
    Script& script = TheScript();
    script = Script();
    script.piece = kPieces[flags & 7];
    script.resetAtEnd = (flags & 8) != 0;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    for (size_t from = 0;;) {
        const size_t cut = input.find(kSeparator, from);
        script.responses.push_back(input.substr(from, cut - from));
        if (cut == std::string::npos) {
            break;
        }
        from = cut + sizeof kSeparator - 1;
    }

    const bool limited = (flags & 32) != 0;
    const char* verb = (flags & 16) ? "HEAD" : "GET";
    char* responseHeaders = nullptr;
    char* body = nullptr;
    uint32_t headersLength = 0, bodyLength = 0;
    const uint32_t rc =
        Exchange(verb, limited, nullptr, responseHeaders, headersLength, body, bodyLength);
    Check(Documented(rc), "result is a documented code");
    CheckDelivered(rc, verb, responseHeaders, headersLength, body, bodyLength);

    // The same exchange with the body streamed to a sink: the same result and the same bytes.
    if (!limited) {
        Streamed streamed;
        const QuarInetBodySink sink{&streamed, &Streamed::OnHeaders, &Streamed::OnBody};
        char* streamedHeaders = nullptr;
        char* none = nullptr;
        uint32_t streamedHeadersLength = 0, noneLength = 0;
        const uint32_t streamedRc =
            Exchange(verb, false, &sink, streamedHeaders, streamedHeadersLength, none, noneLength);
        Check(none == nullptr && noneLength == 0, "a streamed body is not held");
        Check(streamedRc == rc, "streaming gives the same result");
        // A gzip header the whole form could not read leaves that body as it came, labelled;
        // the streamed form has already handed out the headers without the label then.
        char label[16];
        const bool undecoded =
            QuarInetGetHeaderValue(responseHeaders, "Content-Encoding:", label, sizeof label);
        if (rc == 0 && !undecoded) {
            Check(streamed.body == std::string(body, bodyLength), "streaming gives the same body");
        }
        QuarInetFree(streamedHeaders);
    }
    QuarInetFree(responseHeaders);
    QuarInetFree(body);
    return 0;
}
