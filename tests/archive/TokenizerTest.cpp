#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "archive/ArchiveLimits.h"
#include "archive/ByteStream.h"
#include "archive/CKvTokenizer.h"
#include "archive/CKvTokenizerException.h"
#include "archive/CKvUntokenizer.h"

namespace {

using Token = std::pair<TokenKind, std::string>;

// Every token of `text` up to the end of the input.
std::vector<Token> tokensOf(const std::string& text) {
    MemoryStream in(text);
    CKvTokenizer tok(in);
    std::vector<Token> out;
    for (;;) {
        tok.nextToken();
        if (tok.kind() == TokenKind::StreamSeparator && tok.bytes().empty()) {
            return out;
        }
        out.emplace_back(tok.kind(), std::string(tok.bytes()));
    }
}

// The tokenizer error code raised while reading every token of `text`, or -1.
int errorOf(const std::string& text) {
    try {
        tokensOf(text);
    } catch (const CKvTokenizerException& e) {
        return e.code();
    }
    return -1;
}

Token tag(std::string t) {
    return {TokenKind::Tag, std::move(t)};
}
Token word(std::string t) {
    return {TokenKind::Word, std::move(t)};
}

template <class F>
std::string written(F&& f) {
    MemoryStream out;
    CKvUntokenizer w(out);
    f(w);
    return std::string(out.contents());
}

TEST(TokenizerTest, ObjectLineSplitsIntoTagsAndWords) {
    EXPECT_EQ(tokensOf("\r\nobj|Note|\r\nend"),
              (std::vector<Token>{tag("obj"), word("Note"), word(""), tag("end")}));
}

TEST(TokenizerTest, WhiteSpaceAfterLineBreakIsSkippedButTrailingSpaceBelongsToTag) {
    EXPECT_EQ(tokensOf("\r\n\t\t  obj"), (std::vector<Token>{tag("obj")}));
    EXPECT_EQ(tokensOf("\n\n\r obj x\t|w"), (std::vector<Token>{tag("obj x\t"), word("w")}));

    MemoryStream in(std::string("\r\nobj \r\n"));
    CKvTokenizer tok(in);
    EXPECT_EQ(tok.readTag(), "obj ");
    try {
        tok.nextToken();
        FAIL() << "input ending in white space after a line break must fail";
    } catch (const CKvTokenizerException& e) {
        EXPECT_EQ(e.code(), 3);
        EXPECT_STREQ(e.what(), "Bad text tag.");
    }
}

TEST(TokenizerTest, TagTextIsEmptyBeforeBarOrFormFeed) {
    EXPECT_EQ(
        tokensOf("\r\n|w\n\f"),
        (std::vector<Token>{tag(""), word("w"), tag(""), {TokenKind::StreamSeparator, "\f"}}));
}

TEST(TokenizerTest, NulIsSkippedAfterLineBreakEndsATagAndIsOrdinaryInWords) {
    EXPECT_EQ(tokensOf(std::string("\r\n\0obj", 6)), (std::vector<Token>{tag("obj")}));
    EXPECT_EQ(tokensOf(std::string("\nob\0|w", 6)), (std::vector<Token>{tag("ob"), word("w")}));
    EXPECT_EQ(tokensOf(std::string("|a\0b", 4)),
              (std::vector<Token>{word(std::string("a\0b", 3))}));
    // After the NUL that ends a tag, the next byte must start a token.
    EXPECT_EQ(errorOf(std::string("\nob\0x", 5)), 2);
}

TEST(TokenizerTest, TextMustStartWithADelimiter) {
    EXPECT_EQ(errorOf("obj"), 2);
    EXPECT_EQ(errorOf("|w x|"), -1);
    EXPECT_EQ(errorOf("|w\r\nend x"), -1);
    EXPECT_EQ(errorOf(std::string("\0|w", 3)), 2);
}

TEST(TokenizerTest, WordEscapesDecode) {
    EXPECT_EQ(tokensOf("|a\\vb\\\\c"), (std::vector<Token>{word("a|b\\c")}));
    EXPECT_EQ(tokensOf("|\\f\\n\\r"), (std::vector<Token>{word("\f\n\r")}));
    EXPECT_EQ(tokensOf("|\\3:a|b"), (std::vector<Token>{word("a|b")}));
    EXPECT_EQ(tokensOf("|x\\0:y|\\2:\r\n"), (std::vector<Token>{word("xy"), word("\r\n")}));
}

TEST(TokenizerTest, BadEscapesRaiseCode2) {
    EXPECT_EQ(errorOf("|\\3:ab"), 2);  // short raw run
    EXPECT_EQ(errorOf("|\\q"), 2);
    EXPECT_EQ(errorOf("|\\12n"), 2);  // letter after digits
    EXPECT_EQ(errorOf("|\\:"), 2);    // colon without digits
    EXPECT_EQ(errorOf("|abc\\"), 2);  // input ends inside the escape
    EXPECT_EQ(errorOf("|\\12"), 2);
}

TEST(TokenizerTest, EmptyWordAtEndOfInput) {
    EXPECT_EQ(tokensOf("|"), (std::vector<Token>{word("")}));
}

TEST(TokenizerTest, FormFeedIsSeparatorAndReadTagThereFails) {
    MemoryStream in(std::string("\r\nend\f\r\nobj"));
    CKvTokenizer tok(in);
    EXPECT_EQ(tok.readTag(), "end");
    try {
        tok.readTag();
        FAIL();
    } catch (const CKvTokenizerException& e) {
        EXPECT_EQ(e.code(), 4);
        EXPECT_EQ(tok.kind(), TokenKind::StreamSeparator);
        EXPECT_EQ(tok.bytes(), "\f");
    }
    EXPECT_EQ(tok.readTag(), "obj");
}

TEST(TokenizerTest, PeekTagAndUngetDeliverTheSameTokenAgain) {
    MemoryStream in(std::string("\r\nobj|w"));
    CKvTokenizer tok(in);
    std::string peeked;
    ASSERT_TRUE(tok.peekTag(peeked));
    EXPECT_EQ(peeked, "obj");
    EXPECT_EQ(tok.readTag(), "obj");
    EXPECT_FALSE(tok.peekTag(peeked));
    tok.nextToken();
    tok.ungetToken();
    EXPECT_EQ(tok.readWord(), "w");
}

TEST(TokenizerTest, ReadOperationsCheckTheKind) {
    MemoryStream in(std::string("|w\r\nt|x1"));
    CKvTokenizer tok(in);
    try {
        tok.readTag();
        FAIL();
    } catch (const CKvTokenizerException& e) {
        EXPECT_EQ(e.code(), 4);
        EXPECT_STREQ(e.what(), "Unexpected input. Tag was Expected.");
    }
    try {
        tok.readWord();
        FAIL();
    } catch (const CKvTokenizerException& e) {
        EXPECT_EQ(e.code(), 5);
        EXPECT_STREQ(e.what(), "Unexpected input. Word was Expected.");
    }
    try {
        tok.readInteger();
        FAIL();
    } catch (const CKvTokenizerException& e) {
        EXPECT_EQ(e.code(), 6);
        EXPECT_STREQ(e.what(), "Unexpected input. Integer was Expected.");
    }
}

std::int32_t readIntegerOf(const std::string& body) {
    MemoryStream in("|" + body);
    CKvTokenizer tok(in);
    return tok.readInteger();
}

std::uint32_t readUnsignedOf(const std::string& body) {
    MemoryStream in("|" + body);
    CKvTokenizer tok(in);
    return tok.readUnsigned();
}

TEST(TokenizerTest, IntegerConversion) {
    EXPECT_EQ(readIntegerOf("42"), 42);
    EXPECT_EQ(readIntegerOf(" \t+7"), 7);
    EXPECT_EQ(readIntegerOf("-5"), -5);
    EXPECT_EQ(readIntegerOf(""), 0);
    EXPECT_EQ(readIntegerOf("99999999999999999999"), 2147483647);
    EXPECT_EQ(readIntegerOf("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(readIntegerOf("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(readUnsignedOf("-5"), 4294967291u);
    EXPECT_EQ(readUnsignedOf("-1"), 4294967295u);
    EXPECT_EQ(readUnsignedOf("4294967295"), 4294967295u);
    EXPECT_EQ(readUnsignedOf("4294967296"), 4294967295u);
    EXPECT_EQ(readUnsignedOf("-99999999999"), 4294967295u);
    for (const char* bad : {"12 ", "1x", "+", "-", " ", "0x10", "1\\v"}) {
        EXPECT_THROW(readIntegerOf(bad), CKvTokenizerException) << bad;
        EXPECT_THROW(readUnsignedOf(bad), CKvTokenizerException) << bad;
    }
    EXPECT_THROW(readIntegerOf(std::string("12\0", 3)), CKvTokenizerException);
}

TEST(TokenizerTest, TokenBytesCopiesExactBytes) {
    MemoryStream in(std::string("|a\\2:\0b\r\nt", 10));
    CKvTokenizer tok(in);
    std::string bytes;
    EXPECT_EQ(tok.tokenBytes(bytes), TokenKind::Word);
    EXPECT_EQ(bytes, std::string("a\0b", 3));
    EXPECT_STREQ(tok.text(), "a");  // the C-string view stops at the NUL
    EXPECT_EQ(tok.tokenBytes(bytes), TokenKind::Tag);
    EXPECT_EQ(bytes, "t");
    EXPECT_EQ(tok.tokenBytes(bytes), TokenKind::StreamSeparator);
    EXPECT_EQ(bytes, "");
}

TEST(TokenizerTest, AttachRestartsOnAnotherStream) {
    MemoryStream first(std::string("|a|b"));
    MemoryStream second(std::string("\r\nx"));
    CKvTokenizer tok(first);
    EXPECT_EQ(tok.readWord(), "a");
    tok.attach(second);
    EXPECT_EQ(tok.readTag(), "x");
}

TEST(TokenizerTest, DigitRunBeyondTheWordBoundFailsAtOnce) {
    MemoryStream in(std::string("|\\99999999999999999999999:abc"));
    CKvTokenizer tok(in);
    try {
        tok.nextToken();
        FAIL();
    } catch (const CKvTokenizerException& e) {
        EXPECT_EQ(e.code(), 2);
        EXPECT_EQ(e.detail(), "(word longer than " + std::to_string(kMaxTokenBytes) + " bytes)");
    }
}

TEST(TokenizerTest, RawLengthBeyondTheInputFails) {
    // A length that the bound allows but the input does not hold.
    EXPECT_EQ(errorOf("|\\60000000:only a few bytes"), 2);
}

TEST(UntokenizerTest, WriteTagAndWordForms) {
    EXPECT_EQ(written([](CKvUntokenizer& w) { w.writeTag("obj"); }), "\r\nobj");
    EXPECT_EQ(written([](CKvUntokenizer& w) { w.writeWord(""); }), "|");
    EXPECT_EQ(written([](CKvUntokenizer& w) { w.writeWord("a|b"); }), "|a\\vb");
    EXPECT_EQ(written([](CKvUntokenizer& w) { w.writeWord("x\ny\r\f\\"); }), "|x\\ny\\r\\f\\\\");
    std::string twenty(20, 'k');
    EXPECT_EQ(written([&](CKvUntokenizer& w) { w.writeWord(twenty); }), "|" + twenty);
    std::string longer = "a|b\nc" + std::string(16, 'z');  // 21 bytes, delimiters kept raw
    EXPECT_EQ(written([&](CKvUntokenizer& w) { w.writeWord(longer); }), "|\\21:" + longer);
    EXPECT_EQ(written([](CKvUntokenizer& w) { w.writeInteger(-5); }), "|-5");
    EXPECT_EQ(written([](CKvUntokenizer& w) { w.writeInteger(-2147483647 - 1); }), "|-2147483648");
}

TEST(UntokenizerTest, NextTokenReplaysTagsAndWordsEscaped) {
    std::string longWord(30, 'q');
    longWord[3] = '|';
    EXPECT_EQ(written([&](CKvUntokenizer& w) {
                  w.nextToken(TokenKind::Tag, "obj");
                  w.nextToken(TokenKind::Word, longWord);
              }),
              "\nobj|qqq\\v" + std::string(26, 'q'));
    MemoryStream out;
    CKvUntokenizer w(out);
    try {
        w.nextToken(TokenKind::StreamSeparator, "\f");
        FAIL();
    } catch (const CKvTokenizerException& e) {
        EXPECT_EQ(e.code(), 2);
        EXPECT_STREQ(e.what(),
                     "Bad character after reading array of bytes. \"|\" or \"\\n\" expected. "
                     "in CKvUntokenizer::nextToken");
    }
}

TEST(UntokenizerTest, EveryWordReadsBackExactly) {
    std::vector<std::string> words = {"",
                                      "plain",
                                      "a|b",
                                      "\\",
                                      "\r\n",
                                      "\f\\v|",
                                      std::string(1, '\0'),
                                      std::string(300, '|'),
                                      "twenty-one bytes ok!"};
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    words.push_back(all);
    words.push_back(all.substr(0, 20));
    MemoryStream out;
    CKvUntokenizer w(out);
    for (const auto& word : words) {
        w.writeWord(word);
    }
    MemoryStream in(std::string(out.contents()));
    CKvTokenizer tok(in);
    for (const auto& word : words) {
        EXPECT_EQ(tok.readWord(), word);
    }
}

TEST(TokenizerExceptionTest, GetErrorMessageTruncatesAndTerminates) {
    CKvTokenizerException e(3);
    char buf[8];
    ASSERT_TRUE(e.getErrorMessage(buf, sizeof buf));
    EXPECT_STREQ(buf, "Bad tex");
    EXPECT_FALSE(e.getErrorMessage(buf, 0));
    CKvTokenizerException unknown(99);
    EXPECT_STREQ(unknown.what(), "No error message available.");
}

}  // namespace
