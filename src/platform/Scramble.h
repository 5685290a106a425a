// Scrambled texts: how registry values and key paths of the server are kept at rest.
#pragma once

#include <cstddef>
#include <string>

// The one seed of the whole system. Its high bit is set so that the scrambled form of a plain
// ASCII text never holds a NUL, a line feed or a carriage return.
constexpr unsigned char kScrambleSeed = 0xA5;

// The longest text a scrambled value gives back: descramble reads no further.
constexpr std::size_t kMaxDescrambled = 127;

// Turns a stored scrambled text into plain text: at most the first kMaxDescrambled characters;
// output 0 is input 0 XOR the seed, output k is input k XOR input k-1. The result lives in one
// shared static buffer, so each call overwrites the previous result.
const char* descramble(const char* text);

// The inverse rule, for writers of such values: stored 0 is plain 0 XOR the seed, stored k is
// plain k XOR stored k-1. Texts longer than kMaxDescrambled characters cannot be read back whole.
std::string scramble(const std::string& plain);

// Compile-time scrambling of a key path kept in a program.
template <std::size_t N>
struct ScrambledLiteral {
    char text[N] = {};
    constexpr explicit ScrambledLiteral(const char (&plain)[N]) {
        unsigned char previous = kScrambleSeed;
        for (std::size_t i = 0; i + 1 < N; ++i) {
            previous = static_cast<unsigned char>(static_cast<unsigned char>(plain[i]) ^ previous);
            text[i] = static_cast<char>(previous);
        }
    }
};
