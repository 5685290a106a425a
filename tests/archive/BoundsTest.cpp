// Hostile archive texts: each must end in the archive's or tokenizer's own exception (or load),
// without deep recursion and without allocating much more than the input's size. This test
// program counts the bytes held through operator new to check the allocation bound.
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdlib>
#include <new>
#include <string>

#include "ArchiveTestClasses.h"
#include "archive/ArchiveLimits.h"
#include "archive/CKvXDataWrapper.h"
#include "archive/KxTime.h"

namespace {

std::size_t liveBytes = 0;
std::size_t peakBytes = 0;

void* countedAlloc(std::size_t n) {
    void* p = std::malloc(n == 0 ? 1 : n);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    liveBytes += malloc_usable_size(p);
    if (liveBytes > peakBytes) {
        peakBytes = liveBytes;
    }
    return p;
}

void countedFree(void* p) {
    if (p != nullptr) {
        liveBytes -= malloc_usable_size(p);
        std::free(p);
    }
}

}  // namespace

void* operator new(std::size_t n) {
    return countedAlloc(n);
}
void* operator new[](std::size_t n) {
    return countedAlloc(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return countedAlloc(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return countedAlloc(n);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    countedFree(p);
}
void operator delete[](void* p) noexcept {
    countedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    countedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    countedFree(p);
}

namespace {

// What loading an input ended in, and the most memory it held beyond what existed before.
struct Outcome {
    std::string error;  // "" when it loaded; else "archive N: text" or "tokenizer N: text"
    std::size_t peakExtra = 0;
};

// Loads objects from `text` with the registered classes until the input ends.
Outcome load(const std::string& text, bool shared = false) {
    Outcome out;
    std::size_t base = liveBytes;
    peakBytes = liveBytes;
    try {
        MemoryStream in(text);
        CKvTokenizer tok(in);
        CKvArchive ar(tok);
        for (;;) {
            tok.nextToken();
            bool end = tok.kind() == TokenKind::StreamSeparator && tok.bytes().empty();
            tok.ungetToken();
            if (end) {
                break;
            }
            ar.readObject(nullptr, shared);
        }
    } catch (const CKvArchiveException& e) {
        out.error = "archive " + std::to_string(e.code()) + ": " + e.errorText();
    } catch (const CKvTokenizerException& e) {
        out.error = "tokenizer " + std::to_string(e.code()) + ": " + e.errorText();
    }
    out.peakExtra = peakBytes - base;
    return out;
}

// A small multiple of the input plus the fixed working set of one archive.
std::size_t allowance(const std::string& text) {
    return 4 * text.size() + 256 * 1024;
}

TEST(BoundsTest, LengthPrefixBeyondTheInputAllocatesOnlyWhatIsThere) {
    std::string text = "\r\nobj|Note|\\60000000:" + std::string(100, 'x');
    Outcome o = load(text);
    EXPECT_EQ(
        o.error,
        "tokenizer 2: Bad character after reading array of bytes. \"|\" or \"\\n\" expected.");
    EXPECT_LT(o.peakExtra, allowance(text));
}

TEST(BoundsTest, DigitRunThatOverflowsIsRefused) {
    Outcome o = load("\r\nobj|Note|\\18446744073709551617:x");
    EXPECT_EQ(o.error.rfind("tokenizer 2: ", 0), 0u) << o.error;
    EXPECT_NE(o.error.find("(word longer than 67108864 bytes)"), std::string::npos) << o.error;
}

TEST(BoundsTest, ErrorDetailsQuoteAtMost64BytesOfTheInput) {
    const std::string at = std::string(kMaxDetailInputBytes, 't');
    const struct {
        std::string tag;
        std::string detail;
    } cases[] = {
        {"x", "x"},
        {at, at},
        {at + "u", at + "..."},
        {at + std::string(1000, 'u'), at + "..."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(load("\r\n" + c.tag + "|Note|t|1").error,
                  "archive 6: Bad TAG_OBJECT: " + c.detail + " ()")
            << c.tag.size();
    }
}

TEST(BoundsTest, MegabyteClassNameIsRefusedWithAShortText) {
    std::string name(1 << 20, 'A');
    std::string text = "\r\nobj|" + name + "\r\nend";
    Outcome o = load(text);
    EXPECT_EQ(o.error, "archive 8: Class not found: " + std::string(kMaxDetailInputBytes, 'A') +
                           "... (name longer than 255 bytes) ()");
    EXPECT_LT(o.peakExtra, allowance(text));
    // A name at the bound is still an ordinary foreign object.
    EXPECT_EQ(load("\r\nobj|" + std::string(kMaxArchiveNameBytes, 'A') + "\r\nend").error, "");
}

std::string nestedLists(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += "\r\nobj|ListSerializable\r\nobj|Object*|" + std::string(i + 1 < depth ? "1" : "0");
    }
    for (int i = 0; i < depth; ++i) {
        text += "\r\nend\r\nend";
    }
    return text;
}

TEST(BoundsTest, NestingDepthIsBounded) {
    // Each list enters two names (the list and its element collection).
    EXPECT_EQ(load(nestedLists(kMaxNestingDepth / 2)).error, "");
    Outcome o = load(nestedLists(kMaxNestingDepth / 2 + 1));
    EXPECT_EQ(o.error.rfind("archive 1: Bad Archive. (objects nested deeper than 128 levels) "
                            "(ListSerializable>Object*>ListSerializable",
                            0),
              0u)
        << o.error.substr(0, 200);
    std::string deep = nestedLists(20000);
    Outcome d = load(deep);
    EXPECT_EQ(d.error.rfind("archive 1: Bad Archive. (objects nested deeper than 128 levels)", 0),
              0u);
    EXPECT_LT(d.peakExtra, allowance(deep));
}

TEST(BoundsTest, DeepForeignObjectsAndSkippedMembersNeedNoRecursion) {
    std::string foreign;
    for (int i = 0; i < 200000; ++i) {
        foreign += "\r\nobj|X";
    }
    for (int i = 0; i < 200000; ++i) {
        foreign += "\r\nend";
    }
    Outcome o = load(foreign);
    EXPECT_EQ(o.error, "");
    EXPECT_LT(o.peakExtra, allowance(foreign));
    std::string note = "\r\nobj|Note|t|1\r\nobj|String*|0\r\nend" + foreign + "\r\nend";
    EXPECT_EQ(load(note).error, "");
}

TEST(BoundsTest, DefinitionStormStopsAtTheSharedObjectBound) {
    std::string text;
    const std::string body = "\r\nobj|KxTime|1|1|1|1|1|1|0\r\nend";
    text.reserve(static_cast<std::size_t>(kMaxSharedObjects + 1) * 42);
    for (std::int32_t i = 0; i <= kMaxSharedObjects; ++i) {
        text += "\r\ndef|" + std::to_string(i) + body;
    }
    Outcome o = load(text, true);
    EXPECT_EQ(o.error,
              "archive 19: Invalid shared definition. (more than 65536 shared objects) ()");
    EXPECT_LT(o.peakExtra, allowance(text));
}

TEST(BoundsTest, ReferenceStormCostsNoMoreThanItsText) {
    std::string text =
        "\r\nobj|String->Object|200000|k\r\ndef|0\r\nobj|KxTime|1|1|1|1|1|1|0\r\nend";
    for (int i = 1; i < 200000; ++i) {
        text += "|k" + std::to_string(i) + "\r\nref|0";
    }
    text += "\r\nend";
    std::size_t base = liveBytes;
    peakBytes = liveBytes;
    {
        MemoryStream in(text);
        CKvArchive ar(in, true);
        std::map<std::string, CObject*> map;
        ar.serializeObjectMap(map, true);
        EXPECT_EQ(map.size(), 200000u);
    }
    EXPECT_LT(peakBytes - base, allowance(text) + 200000 * 96);
}

TEST(BoundsTest, HugeElementCountsAllocateNothingAhead) {
    std::string text = "\r\nobj|String*|2000000000|only\r\nend";
    std::size_t base = liveBytes;
    peakBytes = liveBytes;
    std::vector<std::string> array;
    MemoryStream in(text);
    CKvArchive ar(in, true);
    EXPECT_EQ(tokenizerErrorOf([&] { ar.serializeStringArray(array); }), 5);
    EXPECT_LT(peakBytes - base, allowance(text));
    MemoryStream neg(std::string("\r\nobj|String*|-1\r\nend"));
    CKvArchive negAr(neg, true);
    EXPECT_EQ(archiveErrorOf([&] { negAr.serializeStringArray(array); }).code(), 1);
}

TEST(BoundsTest, InputEndingAnywhereEndsInAnArchiveOrTokenizerError) {
    std::string full =
        "\r\nobj|Pair\r\ndef|0\r\nobj|KxTime|2009|7|31|14|5|0|0\r\nend\r\nref|0\r\nend"
        "\r\nobj|ListSerializable\r\nobj|Object*|2\r\nobj|Note|\\12:Hello|\\world|42"
        "\r\nobj|String*|2|r\\ved|\\\\blue\r\nend\r\nend\r\nnull\r\nend\r\nend"
        "\r\nobj|Foreign|1\r\nver|2\r\nobj|Inner|x\r\nend\r\nnull\r\nend";
    ASSERT_EQ(load(full).error, "");
    int failures = 0;
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        Outcome o = load(full.substr(0, cut));
        // load() catches only the two archive exceptions; anything else escapes and fails.
        failures += o.error.empty() ? 0 : 1;
    }
    EXPECT_GT(failures, static_cast<int>(full.size()) / 2);
}

}  // namespace
