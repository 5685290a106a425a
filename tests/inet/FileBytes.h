// Whole files as bytes, for the client tests' request bodies, downloads and stored settings.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The content of `path`, or "" when it cannot be read.
inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
