// The rules of a new administrator password, shared by the set-up and the options page.
#pragma once

#include <cstddef>
#include <string>

// The shortest administrator password.
constexpr std::size_t kMinPasswordLength = 4;

constexpr const char* kPasswordPrompt = "Please enter Administrator password (>= 4 chars).";
constexpr const char* kPasswordsDiffer = "ERROR: New passwords does not match. Please reenter.";
constexpr const char* kPasswordInvalid = "ERROR: Invalid password. Please reenter.";

// True when `password` is long enough to become the administrator password.
inline bool LongEnoughPassword(const std::string& password) {
    return password.size() >= kMinPasswordLength;
}
