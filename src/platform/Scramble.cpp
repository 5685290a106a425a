#include "platform/Scramble.h"

const char* descramble(const char* text) {
    static char buffer[kMaxDescrambled + 1];
    std::size_t i = 0;
    unsigned char previous = kScrambleSeed;
    for (; i < kMaxDescrambled && text[i] != '\0'; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        buffer[i] = static_cast<char>(c ^ previous);
        previous = c;
    }
    buffer[i] = '\0';
    return buffer;
}

std::string scramble(const std::string& plain) {
    std::string stored(plain.size(), '\0');
    unsigned char previous = kScrambleSeed;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        previous = static_cast<unsigned char>(static_cast<unsigned char>(plain[i]) ^ previous);
        stored[i] = static_cast<char>(previous);
    }
    return stored;
}
