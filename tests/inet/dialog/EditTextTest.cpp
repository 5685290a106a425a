// Field texts cut to the record's buffers and the number of a digits-only field.
#include "inet/dialog/EditText.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace inet {
namespace {

TEST(EditText, CopiesCutToTheBufferWithoutSplittingACharacter) {
    const std::string fits(259, 'a');
    const std::string e_acute = "\xc3\xa9";
    const std::string euro = "\xe2\x82\xac";
    struct Case {
        const char* name;
        std::string text;
        std::string expected;
    } cases[] = {
        {"empty", "", ""},
        {"short", "proxy.local", "proxy.local"},
        {"exactly 259", fits, fits},
        {"260 cut to 259", fits + "b", fits},
        // A two-byte character at bytes 258-259 would be cut in half: it goes whole.
        {"two-byte character at the edge", std::string(258, 'a') + e_acute, std::string(258, 'a')},
        {"three-byte character at the edge", std::string(257, 'a') + euro + "x",
         std::string(257, 'a')},
        {"character ending at the edge kept", std::string(257, 'a') + e_acute + "x",
         std::string(257, 'a') + e_acute},
    };
    for (const Case& c : cases) {
        char out[260];
        memset(out, 'z', sizeof out);
        CopyFieldText(out, sizeof out, c.text.c_str());
        EXPECT_EQ(out, c.expected) << c.name;
    }
    char out[1] = {'x'};
    CopyFieldText(out, sizeof out, nullptr);
    EXPECT_EQ(out[0], '\0');
    CopyFieldText(out, sizeof out, "abc");
    EXPECT_EQ(out[0], '\0');
}

TEST(EditText, ReadsOnlyPlainUnsignedNumbers) {
    struct Case {
        const char* text;
        unsigned expected;
    } cases[] = {
        {nullptr, 0},
        {"", 0},
        {"0", 0},
        {"80", 80},
        {"08080", 8080},
        {"3128", 3128},
        {"4294967295", 4294967295u},
        {"4294967296", 0},
        {"99999999999999999999", 0},
        {"12a", 0},
        {"a12", 0},
        {" 80", 0},
        {"80 ", 0},
        {"-1", 0},
        {"+1", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseFieldNumber(c.text), c.expected) << (c.text ? c.text : "(null)");
    }
}

}  // namespace
}  // namespace inet
