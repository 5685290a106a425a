// The password comparison: exact and case-sensitive whatever the lengths, with no early end that
// a shorter or longer text could slip through.
#include <gtest/gtest.h>

#include <string>

#include "admin/PasswordCompare.h"

namespace {

TEST(SamePassword, EqualOnlyWhenEveryByteAndTheLengthAgree) {
    struct Case {
        std::string typed;
        std::string stored;
        bool same;
    };
    const Case cases[] = {
        {"secret", "secret", true},
        {"Secret", "secret", false},
        {"secre", "secret", false},
        {"secrets", "secret", false},
        // The stored text repeated under a longer typed one must not pass for it.
        {"secretsecret", "secret", false},
        {"aa", "a", false},
        {"", "secret", false},
        {"x", "", false},
        {"", "", true},
        {std::string("se\0ret", 6), std::string("se\0ret", 6), true},
        {std::string("se\0ret", 6), "se", false},
        {"\xff\x80", "\xff\x81", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed + " / " + c.stored);
        EXPECT_EQ(SamePassword(c.typed, c.stored), c.same);
    }
}

}  // namespace
