// get URL: fetches URL with QuarInet, writes the body to standard output and the progress to
// standard error. The connection settings are those stored under the key "quar-example".
#include <QuarInet.h>

#include <cstdio>
#include <cstring>

namespace {

void ShowProgress(void*, uintptr_t, uint32_t status, void* info, uint32_t info_length) {
    if (status == QUARINET_STATUS_RECEIVING_RESPONSE && info_length == sizeof(uint32_t)) {
        uint32_t bytes;
        std::memcpy(&bytes, info, sizeof bytes);
        std::fprintf(stderr, "\rreceived %u bytes", bytes);
    } else if (status == QUARINET_STATUS_RESPONSE_RECEIVED) {
        std::fputc('\n', stderr);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: get URL\n", stderr);
        return 2;
    }
    char scheme[4096], host[4096], path[4096];
    uint32_t port = 0;
    if (!QuarInetSplitUrl(argv[1], scheme, host, port, path, sizeof path)) {
        std::fprintf(stderr, "get: not a URL: %s\n", argv[1]);
        return 2;
    }
    QuarInetHttpConnection connection("quar-example");
    QuarInetHttpRequest* request = connection.CreateRequest(ShowProgress);
    if (request == nullptr) {
        std::fputs("get: no transport is available\n", stderr);
        return 1;
    }
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t headers_length = 0, body_length = 0, result = 0;
    QuarInetThread worker =
        request->OpenUrl(host, port, "GET", path, nullptr, 0, nullptr, 0, &headers, &headers_length,
                         &body, &body_length, &result);
    if (worker == nullptr) {
        std::fputs("get: cannot start the worker thread\n", stderr);
        delete request;
        return 1;
    }
    QuarInetWaitForThread(worker, QUARINET_INFINITE);
    QuarInetCloseThread(worker);
    if (result == 0) {
        std::fwrite(body, 1, body_length, stdout);
    } else {
        std::fprintf(stderr, "get: %s\n", QuarInetGetErrorDescription(result));
    }
    QuarInetFree(headers);
    QuarInetFree(body);
    delete request;
    return result == 0 ? 0 : 1;
}
