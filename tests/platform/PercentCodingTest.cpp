#include <gtest/gtest.h>

#include <string>

#include "platform/PercentCoding.h"

namespace {

TEST(PercentCoding, EncodesWhatMustNotReachARequestLine) {
    const struct {
        std::string text, encoded;
    } cases[] = {
        {"/a/b?c=d&e=%41", "/a/b?c=d&e=%41"},
        {"/a b", "/a%20b"},
        {std::string("/\r\n\t\0x", 6), "/%0D%0A%09%00x"},
        {"/\x7f\x80\xff", "/%7F%80%FF"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.encoded, PercentEncodeUnsafe(c.text)) << c.text;
    }
}

TEST(PercentCoding, DecodesTwoDigitEscapesOnly) {
    const struct {
        std::string text, decoded;
    } cases[] = {
        {"us%65r%3Ap%40ss", "user:p@ss"},
        {"%2b+%2B", "+++"},
        {"%zz%4", "%zz%4"},
        {"a%", "a%"},
        {"%41%", "A%"},
        {"%00", std::string(1, '\0')},
        {"%e9", "\xe9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.decoded, PercentDecode(c.text)) << c.text;
    }
}

TEST(PercentCoding, ReadsHexDigitsOfEitherCase) {
    const struct {
        char c;
        int value;
    } cases[] = {{'0', 0},  {'9', 9},  {'a', 10}, {'F', 15},
                 {'g', -1}, {'/', -1}, {':', -1}, {'@', -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.value, HexDigitValue(c.c)) << c.c;
    }
}

}  // namespace
