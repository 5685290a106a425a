// inet_mime_peer_tool: the library's multipart functions for the peer tests, on files.
//
//   inet_mime_peer_tool parse HEADERS_FILE BODY_FILE
//       Prints {"count": N, "parts": [{"headers": B64, "data": B64}, ...]} for what
//       ParseMimeMultipart makes of the body under the header block.
//   inet_mime_peer_tool build HEADERS_OUT BODY_OUT PART...
//       Builds a form body with ConstructMimeMultipart and writes its header block and body
//       (body_length bytes). PART is NAME=VALUE for a field or NAME@FILENAME@TYPE@PATH for a
//       file whose content is read from PATH.
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "QuarInet.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const char* bytes, size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes, static_cast<std::streamsize>(size));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string Base64(const char* bytes, size_t size) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < size; i += 3) {
        uint32_t group = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < size)
            group |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < size)
            group |= static_cast<uint8_t>(bytes[i + 2]);
        out += kAlphabet[group >> 18];
        out += kAlphabet[(group >> 12) & 63];
        out += i + 1 < size ? kAlphabet[(group >> 6) & 63] : '=';
        out += i + 2 < size ? kAlphabet[group & 63] : '=';
    }
    return out;
}

int Parse(const std::string& headersPath, const std::string& bodyPath) {
    const std::string headers = ReadFile(headersPath);
    const std::string body = ReadFile(bodyPath);
    mime_part* parts = nullptr;
    const uint32_t count =
        ParseMimeMultipart(headers.c_str(), body.data(), static_cast<uint32_t>(body.size()), parts);
    std::cout << "{\"count\": " << count << ", \"parts\": [";
    for (uint32_t i = 0; i < count; ++i) {
        std::cout << (i > 0 ? ", " : "") << "{\"headers\": \""
                  << Base64(parts[i].headers, parts[i].headers_length) << "\", \"data\": \""
                  << Base64(parts[i].data, parts[i].data_length) << "\"}";
    }
    std::cout << "]}\n";
    QuarInetFree(parts);
    return 0;
}

int Build(const std::string& headersOut, const std::string& bodyOut,
          const std::vector<std::string>& specs) {
    std::vector<std::string> headerTexts, contents;
    for (const std::string& spec : specs) {
        size_t at = spec.find('@');
        if (at != std::string::npos) {
            size_t typeAt = spec.find('@', at + 1);
            size_t pathAt = spec.find('@', typeAt + 1);
            headerTexts.push_back(
                "Content-Disposition: form-data; name=\"" + spec.substr(0, at) + "\"; filename=\"" +
                spec.substr(at + 1, typeAt - at - 1) +
                "\"\r\nContent-Type: " + spec.substr(typeAt + 1, pathAt - typeAt - 1) + "\r\n");
            contents.push_back(ReadFile(spec.substr(pathAt + 1)));
        } else {
            at = spec.find('=');
            headerTexts.push_back("Content-Disposition: form-data; name=\"" + spec.substr(0, at) +
                                  "\"\r\n");
            contents.push_back(spec.substr(at + 1));
        }
    }
    std::vector<mime_part> parts;
    for (size_t i = 0; i < specs.size(); ++i) {
        parts.push_back({headerTexts[i].c_str(), 0, contents[i].data(),
                         static_cast<uint32_t>(contents[i].size())});
    }
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t length = 0;
    if (!ConstructMimeMultipart(headers, body, length, "User-Agent: quar-peer-test\r\n\r\n",
                                parts.data(), static_cast<uint32_t>(parts.size()))) {
        std::cerr << "ConstructMimeMultipart failed\n";
        return 1;
    }
    WriteFile(headersOut, headers, strlen(headers));
    WriteFile(bodyOut, body, length);
    QuarInetFree(headers);
    QuarInetFree(body);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        if (command == "parse" && argc == 4) {
            return Parse(argv[2], argv[3]);
        }
        if (command == "build" && argc >= 4) {
            return Build(argv[2], argv[3], std::vector<std::string>(argv + 4, argv + argc));
        }
    } catch (const std::exception& error) {
        std::cerr << "inet_mime_peer_tool: " << error.what() << "\n";
        return 1;
    }
    std::cerr << "usage: inet_mime_peer_tool parse HEADERS BODY | build HEADERS BODY PART...\n";
    return 2;
}
