#include "inet/Base64.h"

#include <cstring>

namespace inet {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit value of `c`, or -1 outside the alphabet.
int SextetOf(char c) {
    if (c == '\0') {
        return -1;
    }
    const char* at = std::strchr(kAlphabet, c);
    return at != nullptr ? static_cast<int>(at - kAlphabet) : -1;
}

}  // namespace

std::string Base64Encode(const char* data, size_t size) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const unsigned group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += kAlphabet[group >> 6 & 63];
        out += kAlphabet[group & 63];
    }
    if (size - i == 1) {
        const unsigned group = bytes[i] << 16;
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += "==";
    } else if (size - i == 2) {
        const unsigned group = bytes[i] << 16 | bytes[i + 1] << 8;
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += kAlphabet[group >> 6 & 63];
        out += '=';
    }
    return out;
}

std::string Base64Decode(const char* text, size_t limit) {
    std::string out;
    if (text == nullptr) {
        return out;
    }
    while (*text == ' ' || *text == '\t') {
        ++text;
    }
    unsigned group = 0;
    int sextets = 0;
    for (int value; (value = SextetOf(*text)) >= 0; ++text) {
        group = group << 6 | static_cast<unsigned>(value);
        if (++sextets == 4) {
            out += static_cast<char>(group >> 16 & 255);
            out += static_cast<char>(group >> 8 & 255);
            out += static_cast<char>(group & 255);
            group = 0;
            sextets = 0;
        }
    }
    // Two characters carry one byte, three carry two; a lone character carries none.
    if (sextets == 2) {
        out += static_cast<char>(group >> 4 & 255);
    } else if (sextets == 3) {
        out += static_cast<char>(group >> 10 & 255);
        out += static_cast<char>(group >> 2 & 255);
    }
    if (out.size() > limit) {
        out.resize(limit);
    }
    return out;
}

}  // namespace inet
