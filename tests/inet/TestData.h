// Reproducible test contents: text-like bytes that compress well and bytes that do not.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

// Lines of words from a small vocabulary, with numbers, like a log or a JSON export.
inline std::string TextLike(size_t size, uint32_t seed = 1) {
    static const char* const kWords[] = {"alpha", "beta",  "gamma", "delta", "omega",
                                         "sigma", "kappa", "value", "name",  "id"};
    std::string out;
    out.reserve(size + 64);
    uint32_t state = seed;
    while (out.size() < size) {
        state = state * 1103515245u + 12345u;
        out += kWords[(state >> 16) % 10];
        out += (state & 0x100) ? ' ' : ':';
        out += std::to_string((state >> 8) % 1000);
        out += (state & 0x7) == 0 ? "\n" : ", ";
    }
    out.resize(size);
    return out;
}

// Bytes from a linear congruential generator: deflate cannot shrink them.
inline std::string Noise(size_t size, uint32_t seed = 7) {
    std::string out(size, '\0');
    uint32_t state = seed;
    for (char& c : out) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return out;
}
