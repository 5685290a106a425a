#include <cstdio>
#include <cstring>

#include "QuarInet.h"
#include "inet/GzipWriter.h"
#include "inet/HeaderLimits.h"
#include "inet/InetHeap.h"
#include "inet/MemoryStream.h"
#include "inet/WorkerThread.h"

namespace {

// A copy of the `size` bytes at `bytes` followed by a NUL, in the library's heap.
inet::HeapPtr<char> CopyBytes(const char* bytes, size_t size) {
    inet::HeapPtr<char> copy(static_cast<char*>(inet::HeapAllocate(size + 1)));
    if (copy != nullptr) {
        std::memcpy(copy.get(), bytes, size);
        copy.get()[size] = '\0';
    }
    return copy;
}

// Text that goes on the request line: present, and unable to start a line of its own.
bool UsableLineText(const char* text) {
    return text != nullptr && strpbrk(text, "\r\n") == nullptr;
}

// The fixed lines that announce a gzip-encoded body, and room for its length line.
constexpr const char* kAcceptLine = "Accept-Encoding: x-gzip\r\n";
constexpr const char* kEncodingLine = "Content-Encoding: x-gzip\r\n";

void ReplaceOwned(char*& member, inet::HeapPtr<char> copy) {
    inet::HeapRelease(member);
    member = copy.release();
}

}  // namespace

void QuarInetDefaultCallback(void*, uintptr_t, uint32_t, void*, uint32_t) {}

QuarInetHttpRequest::QuarInetHttpRequest(QuarInetStatusCallback callback, QuarInetWindow parent)
    : Callback(callback),
      Host(nullptr),
      Port(80),
      Verb(nullptr),
      Path(nullptr),
      Headers(nullptr),
      HeadersLength(0),
      Body(nullptr),
      BodyLength(0),
      ResponseHeadersOut(nullptr),
      ResponseHeadersLengthOut(nullptr),
      ResponseBodyOut(nullptr),
      ResponseBodyLengthOut(nullptr),
      ThreadId(0),
      ThreadHandle(nullptr),
      ResultOut(nullptr),
      Aborted(0),
      // There are no top-level windows of the process to own dialogs on this platform.
      ParentWindow(parent),
      ConnectTimeout(DefaultConnectTimeout),
      ReceiveTimeout(DefaultReceiveTimeout),
      BodySink(nullptr),
      BodySource(nullptr) {}

QuarInetHttpRequest::~QuarInetHttpRequest() {
    inet::HeapRelease(Host);
    inet::HeapRelease(Verb);
    inet::HeapRelease(Path);
    inet::HeapRelease(Headers);
    inet::HeapRelease(Body);
}

uint32_t QuarInetHttpRequest::SetRequestParams(const char* host, uint32_t port, const char* verb,
                                               const char* path, const char* headers,
                                               uint32_t headersLength, const char* body,
                                               uint32_t bodyLength, bool compress) {
    if (!UsableLineText(host) || !UsableLineText(verb) || !UsableLineText(path) ||
        std::strchr(host, ' ') != nullptr || *host == '\0' || *verb == '\0' || port > 65535) {
        return QUARINET_ERROR_INVALID_PARAMETER;
    }
    inet::HeapPtr<char> newHost = CopyBytes(host, std::strlen(host));
    inet::HeapPtr<char> newVerb = CopyBytes(verb, std::strlen(verb));
    inet::HeapPtr<char> newPath = CopyBytes(path, std::strlen(path));
    if (newHost == nullptr || newVerb == nullptr || newPath == nullptr) {
        return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
    }
    const bool hasHeaders = headers != nullptr && headersLength > 0;
    const bool hasBody = body != nullptr && bodyLength > 0;
    inet::HeapPtr<char> newHeaders;
    inet::HeapPtr<char> newBody;
    uint32_t newHeadersLength = 0;
    uint32_t newBodyLength = 0;
    bool keepBody = false;
    inet::MemoryOutStream compressed;
    if (compress && hasBody && inet::GzipCompress(body, bodyLength, compressed)) {
        // The block with its own encoding and length lines replaced by those of the gzip body.
        const size_t room = (hasHeaders ? headersLength : 0) + std::strlen(kAcceptLine) +
                            std::strlen(kEncodingLine) + inet::kLengthLineRoom + 33;
        newHeaders.reset(static_cast<char*>(inet::HeapAllocate(room)));
        if (newHeaders == nullptr) {
            return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
        }
        if (hasHeaders) {
            std::memcpy(newHeaders.get(), headers, headersLength);
        }
        newHeadersLength = hasHeaders ? headersLength : 0;
        newHeaders.get()[newHeadersLength] = '\0';
        QuarInetRemoveHeader(newHeaders.get(), newHeadersLength, "Accept-Encoding:");
        QuarInetRemoveHeader(newHeaders.get(), newHeadersLength, "Content-Encoding:");
        QuarInetRemoveHeader(newHeaders.get(), newHeadersLength, "Content-Length:");
        char lengthLine[inet::kLengthLineRoom];
        std::snprintf(lengthLine, sizeof lengthLine, "Content-Length: %zu\r\n", compressed.Size());
        QuarInetAppendHeader(newHeaders.get(), newHeadersLength, kAcceptLine);
        QuarInetAppendHeader(newHeaders.get(), newHeadersLength, kEncodingLine);
        QuarInetAppendHeader(newHeaders.get(), newHeadersLength, lengthLine);
        // The compressed bytes are the one copy of the body.
        newBodyLength = static_cast<uint32_t>(compressed.Size());
        newBody.reset(reinterpret_cast<char*>(compressed.Release()));
    } else {
        // Also with compression asked for, a body that is empty or cannot be compressed is sent
        // as it is, with the caller's headers.
        if (hasHeaders) {
            newHeaders = CopyBytes(headers, headersLength);
            newHeadersLength = headersLength;
        }
        // The request's own body passed in again (the worker of OpenUrl, a followed redirect)
        // stays where it is rather than being copied once more.
        keepBody = hasBody && body == Body && bodyLength == BodyLength;
        if (hasBody && !keepBody) {
            newBody = CopyBytes(body, bodyLength);
        }
        newBodyLength = hasBody ? bodyLength : 0;
        if ((hasHeaders && newHeaders == nullptr) || (hasBody && !keepBody && newBody == nullptr)) {
            return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    ReplaceOwned(Host, std::move(newHost));
    ReplaceOwned(Verb, std::move(newVerb));
    ReplaceOwned(Path, std::move(newPath));
    ReplaceOwned(Headers, std::move(newHeaders));
    if (!keepBody) {
        ReplaceOwned(Body, std::move(newBody));
    }
    Port = port;
    HeadersLength = newHeadersLength;
    BodyLength = newBodyLength;
    return 0;
}

QuarInetThread QuarInetHttpRequest::OpenUrl(const char* host, uint32_t port, const char* verb,
                                            const char* path, const char* headers,
                                            uint32_t headersLength, const char* body,
                                            uint32_t bodyLength, char** responseHeaders,
                                            uint32_t* responseHeadersLength, char** responseBody,
                                            uint32_t* responseBodyLength, uint32_t* result) {
    // Invalid parameters leave the request without a host; the worker's Send reports them.
    if (SetRequestParams(host, port, verb, path, headers, headersLength, body, bodyLength, false) !=
        0) {
        ReplaceOwned(Host, nullptr);
    }
    ResponseHeadersOut = responseHeaders;
    ResponseHeadersLengthOut = responseHeadersLength;
    ResponseBodyOut = responseBody;
    ResponseBodyLengthOut = responseBodyLength;
    ResultOut = result;
    ThreadHandle = inet::StartWorkerThread([this] { return Worker(this); }, ThreadId);
    return ThreadHandle;
}

uint32_t QuarInetHttpRequest::Worker(void* request) {
    auto& self = *static_cast<QuarInetHttpRequest*>(request);
    uint32_t result = self.Send(self.Host, self.Port, self.Verb, self.Path, self.Headers,
                                self.HeadersLength, self.Body, self.BodyLength);
    if (self.ResultOut != nullptr) {
        *self.ResultOut = result;
    }
    if (result != 0) {
        return result;
    }
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t headersLength = 0;
    uint32_t bodyLength = 0;
    result = self.Receive(headers, headersLength, body, bodyLength);
    // A slot the client left null does not want its part of the response.
    if (self.ResponseHeadersOut != nullptr) {
        *self.ResponseHeadersOut = headers;
    } else {
        inet::HeapRelease(headers);
    }
    if (self.ResponseBodyOut != nullptr) {
        *self.ResponseBodyOut = body;
    } else {
        inet::HeapRelease(body);
    }
    if (self.ResponseHeadersLengthOut != nullptr) {
        *self.ResponseHeadersLengthOut = headersLength;
    }
    if (self.ResponseBodyLengthOut != nullptr) {
        *self.ResponseBodyLengthOut = bodyLength;
    }
    if (self.ResultOut != nullptr) {
        *self.ResultOut = result;
    }
    return result;
}
