// Compares long byte strings and reports sizes and the first difference instead of both texts.
#pragma once

#include <string>

#include <gtest/gtest.h>

inline ::testing::AssertionResult SameBytes(const std::string& expected,
                                            const std::string& actual) {
    if (expected == actual) {
        return ::testing::AssertionSuccess();
    }
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) {
        ++at;
    }
    return ::testing::AssertionFailure() << "expected " << expected.size() << " bytes, got "
                                         << actual.size() << ", first difference at byte " << at;
}
