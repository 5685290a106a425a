#include <gtest/gtest.h>

#include <string>

#include "platform/Scramble.h"

TEST(Scramble, RoundTripsThroughDescramble) {
    for (const std::string plain : {"/var/lib/quar/", "a", "", "C:\\Program Files\\x y"}) {
        const std::string stored = scramble(plain);
        EXPECT_EQ(std::string(descramble(stored.c_str())), plain);
    }
}

TEST(Scramble, FollowsTheChainedXorRule) {
    const std::string stored = scramble("AB");
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(stored[0]), 'A' ^ kScrambleSeed);
    EXPECT_EQ(static_cast<unsigned char>(stored[1]), ('B' ^ ('A' ^ kScrambleSeed)) & 0xFF);
}

TEST(Scramble, AsciiTextsNeverScrambleToLineBreaksOrNul) {
    std::string plain;
    for (int c = 1; c < 128; ++c) {
        plain += static_cast<char>(c);
    }
    for (unsigned char c : scramble(plain)) {
        EXPECT_GE(c, 0x80);
    }
}

TEST(Scramble, DescrambleTakesAtMost127CharactersAndSharesItsBuffer) {
    const std::string stored = scramble(std::string(300, 'x'));
    const char* first = descramble(stored.c_str());
    EXPECT_EQ(std::string(first), std::string(127, 'x'));
    const std::string other = scramble("short");
    const char* second = descramble(other.c_str());
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "short");
}

TEST(Scramble, CompileTimeFormMatchesRuntimeForm) {
    constexpr ScrambledLiteral literal("Key\\Path");
    EXPECT_EQ(std::string(literal.text), scramble("Key\\Path"));
}
