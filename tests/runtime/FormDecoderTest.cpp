#include <gtest/gtest.h>

#include "runtime/FormDecoder.h"

namespace {

std::vector<std::pair<std::string, std::string>> Fields(std::string_view body) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const FormField& f : DecodeFormBody(body)) {
        out.emplace_back(f.name, f.value);
    }
    return out;
}

using P = std::pair<std::string, std::string>;

}  // namespace

TEST(FormDecoder, SplitsFieldsInBodyOrder) {
    EXPECT_EQ(Fields("a=1&b=2"), (std::vector<P>{{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(Fields("a=1&a=2"), (std::vector<P>{{"a", "1"}, {"a", "2"}}));
    EXPECT_EQ(Fields("a="), (std::vector<P>{{"a", ""}}));
    EXPECT_EQ(Fields(""), (std::vector<P>{}));
}

TEST(FormDecoder, OnlyEqualsEndsAName) {
    // The name is split before it is decoded, and "&" belongs to the name until "=".
    EXPECT_EQ(Fields("a%3Db=1"), (std::vector<P>{{"a=b", "1"}}));
    EXPECT_EQ(Fields("flag&x=1"), (std::vector<P>{{"flag&x", "1"}}));
    EXPECT_EQ(Fields("a=1&flag"), (std::vector<P>{{"a", "1"}}));
    EXPECT_EQ(Fields("a=1&&b=2"), (std::vector<P>{{"a", "1"}, {"&b", "2"}}));
    EXPECT_EQ(Fields("=v"), (std::vector<P>{{"", "v"}}));
}

TEST(FormDecoder, DecodesPlusAndEscapes) {
    EXPECT_EQ(Fields("a=x+y%21"), (std::vector<P>{{"a", "x y!"}}));
    EXPECT_EQ(DecodeFormText("%41%62%7e%7E%ff"), "Ab~~\xff");
    EXPECT_EQ(DecodeFormText("%2B+"), "+ ");
}

TEST(FormDecoder, NonHexEscapesFollowTheByteRule) {
    // high from c1 ('G' & 0x0F = 7, + 9 = 16 -> 256), low from c2 ('z' - 'a' + 10 = 35).
    EXPECT_EQ(DecodeFormText("%Gz"), std::string(1, static_cast<char>((256 + 35) % 256)));
    EXPECT_EQ(DecodeFormText("%zz"), std::string(1, static_cast<char>((16 * (10 + 9) + 35) % 256)));
}

TEST(FormDecoder, TruncatedEscapesStayAsTheyStand) {
    EXPECT_EQ(DecodeFormText("%"), "%");
    EXPECT_EQ(DecodeFormText("ab%4"), "ab%4");
    // The value's end bounds the escape: it never reaches into the next field.
    EXPECT_EQ(Fields("a=%4&b=%"), (std::vector<P>{{"a", "%4"}, {"b", "%"}}));
}

TEST(FormDecoder, NulEndsTheText) {
    const struct {
        std::string body;
        std::vector<P> fields;
    } cases[] = {
        // Decoded: ends the one name or value.
        {"na%00me=va%00lue&c=d", {{"na", "va"}, {"c", "d"}}},
        // Raw: ends the whole body, as the body is a text.
        {std::string("a=1\0&b=2", 7), {{"a", "1"}}},
        {std::string("a=1&b\0=2", 8), {{"a", "1"}}},
        {std::string("\0a=1", 4), {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Fields(c.body), c.fields) << c.body;
    }
    EXPECT_EQ(DecodeFormText(std::string_view("x\0y", 3)), "x");
}

TEST(FormDecoder, DecodedFormKeepsNamesAndValuesInOneText) {
    const DecodedForm form = DecodeForm("a%3D=1+2&&b=%41&c=");
    ASSERT_EQ(form.size(), 3u);
    EXPECT_EQ(form.texts, "a=1 2&bAc");
    EXPECT_EQ(form.Name(1), "&b");
    EXPECT_EQ(form.Value(1), "A");
    EXPECT_EQ(form.Name(2), "c");
    EXPECT_EQ(form.Value(2), "");
}

TEST(FormDecoder, LargeBodiesDecodeWithoutQuadraticCost) {
    std::string body;
    for (int i = 0; i < 20000; ++i) {
        body += "f" + std::to_string(i) + "=v%20" + std::to_string(i) + "&";
    }
    const auto fields = DecodeFormBody(body);
    ASSERT_EQ(fields.size(), 20000u);
    EXPECT_EQ(fields.back().name, "f19999");
    EXPECT_EQ(fields.back().value, "v 19999");
}
