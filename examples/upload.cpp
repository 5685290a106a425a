// upload URL NAME=FILE...: posts the files as one multipart/form-data body with QuarInet and
// writes the server's answer to standard output.
#include <QuarInet.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Field {
    std::string headers;
    std::string data;
};

bool ReadField(const std::string& argument, Field& field) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    const std::string name = argument.substr(0, equals);
    const std::string file = argument.substr(equals + 1);
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    field.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    field.headers = "Content-Disposition: form-data; name=\"" + name + "\"; filename=\"" + file +
                    "\"\r\nContent-Type: application/octet-stream\r\n";
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: upload URL NAME=FILE...\n", stderr);
        return 2;
    }
    char scheme[4096], host[4096], path[4096];
    uint32_t port = 0;
    if (!QuarInetSplitUrl(argv[1], scheme, host, port, path, sizeof path)) {
        std::fprintf(stderr, "upload: not a URL: %s\n", argv[1]);
        return 2;
    }
    std::vector<Field> fields(static_cast<std::size_t>(argc - 2));
    std::vector<mime_part> parts;
    for (int i = 2; i < argc; ++i) {
        Field& field = fields[static_cast<std::size_t>(i - 2)];
        if (!ReadField(argv[i], field)) {
            std::fprintf(stderr, "upload: cannot read %s\n", argv[i]);
            return 2;
        }
        parts.push_back({field.headers.c_str(), 0, field.data.data(),
                         static_cast<uint32_t>(field.data.size())});
    }
    char* request_headers = nullptr;
    char* request_body = nullptr;
    uint32_t request_body_length = 0;
    if (!ConstructMimeMultipart(request_headers, request_body, request_body_length, nullptr,
                                parts.data(), static_cast<uint32_t>(parts.size()))) {
        std::fputs("upload: out of memory\n", stderr);
        return 1;
    }
    QuarInetHttpConnection connection("quar-example");
    QuarInetHttpRequest* request = connection.CreateRequest(QuarInetDefaultCallback);
    uint32_t result = 12004;
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t headers_length = 0, body_length = 0;
    if (request != nullptr) {
        // Send and Receive on this thread; OpenUrl would run them on a worker.
        result = request->Send(host, port, "POST", path, request_headers,
                               static_cast<uint32_t>(std::string(request_headers).size()),
                               request_body, request_body_length);
        if (result == 0) {
            result = request->Receive(headers, headers_length, body, body_length);
        }
    }
    if (result == 0) {
        std::fwrite(body, 1, body_length, stdout);
    } else {
        std::fprintf(stderr, "upload: %s\n", QuarInetGetErrorDescription(result));
    }
    QuarInetFree(headers);
    QuarInetFree(body);
    QuarInetFree(request_headers);
    QuarInetFree(request_body);
    delete request;
    return result == 0 ? 0 : 1;
}
