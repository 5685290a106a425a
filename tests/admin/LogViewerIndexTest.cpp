// The viewer's index of the event log: which lines it keeps and in which order, checked
// against the event record's own reading of each line.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "admin/LogViewerIndex.h"
#include "eventlog/EventRecord.h"
#include "eventlog/MessageCatalogue.h"

namespace {

MessageCatalogue Catalogue() {
    MessageCatalogue catalogue;
    catalogue.Parse("N none\n=CATEGORY A\nA0 a\n=CATEGORY B\nB1 b\n=CATEGORY C\nC2 c\n");
    return catalogue;
}

// The offsets in display order.
std::vector<std::uint64_t> Shown(const LogViewIndex& index) {
    std::vector<std::uint64_t> offsets;
    for (std::size_t i = 0; i < index.size(); ++i) {
        offsets.push_back(index.OffsetAt(i));
    }
    return offsets;
}

// Lines given offsets 0, 1, 2, ... so that the display order reads as line numbers.
LogViewIndex Indexed(const MessageCatalogue& catalogue, LogViewSelection selection,
                     const std::vector<std::string>& lines) {
    LogViewIndex index(catalogue, std::move(selection));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        index.Add(i, lines[i]);
    }
    return index;
}

const std::vector<std::string> kLines = {
    "A0\t1",  // 0
    "N\t2",   // 1
    "C2\t3",  // 2
    "X\t4",   // 3: not in the catalogue
    "A0\t5",  // 4
    "B1",     // 5
    "C2\t7",  // 6
};

}  // namespace

TEST(LogViewIndexTest, ByDateIsNewestFirst) {
    const MessageCatalogue catalogue = Catalogue();
    const LogViewIndex index = Indexed(catalogue, {}, kLines);
    EXPECT_EQ(Shown(index), (std::vector<std::uint64_t>{6, 5, 4, 3, 2, 1, 0}));
}

TEST(LogViewIndexTest, GroupedFromTheHighestCategoryWithUncategorisedLast) {
    const MessageCatalogue catalogue = Catalogue();
    LogViewSelection grouped;
    grouped.groupByCategory = true;
    EXPECT_EQ(Shown(Indexed(catalogue, grouped, kLines)),
              (std::vector<std::uint64_t>{6, 2, 5, 4, 0, 3, 1}));
    grouped.hiddenMask = 1u << 2;
    EXPECT_EQ(Shown(Indexed(catalogue, grouped, kLines)),
              (std::vector<std::uint64_t>{5, 4, 0, 3, 1}));
    // Bits of categories without entries, and beyond the eight, hide nothing else.
    grouped.hiddenMask = 0xF8u;
    EXPECT_EQ(Shown(Indexed(catalogue, grouped, kLines)),
              (std::vector<std::uint64_t>{6, 2, 5, 4, 0, 3, 1}));
}

TEST(LogViewIndexTest, BlankLinesAreSkippedAndClearForgetsAll) {
    const MessageCatalogue catalogue = Catalogue();
    LogViewIndex index =
        Indexed(catalogue, {}, {"", "\r", " \t\v\f ", "N", "  N\t1  \r", std::string(1, '\0')});
    EXPECT_EQ(Shown(index), (std::vector<std::uint64_t>{5, 4, 3}));
    index.Clear();
    EXPECT_EQ(index.size(), 0u);
    index.Add(9, "N");
    EXPECT_EQ(Shown(index), std::vector<std::uint64_t>{9});
}

TEST(LogViewIndexTest, ManyDistinctCodesKeepTheirCategories) {
    // More codes than the index remembers: the rest are looked up each time.
    std::string text;
    std::vector<std::string> lines;
    for (int i = 0; i < 3000; ++i) {
        if (i % 375 == 0) {
            text += "=CATEGORY G" + std::to_string(i / 375) + "\n";
        }
        text += "K" + std::to_string(i) + " t\n";
        lines.push_back("K" + std::to_string(i) + "\t0");
        lines.push_back("K" + std::to_string(i) + "\t0");
    }
    MessageCatalogue catalogue;
    catalogue.Parse(text);
    LogViewSelection grouped;
    grouped.groupByCategory = true;
    grouped.hiddenMask = 0x55u;  // categories 0, 2, 4, 6
    const LogViewIndex index = Indexed(catalogue, grouped, lines);
    ASSERT_EQ(index.size(), 3000u);
    for (std::size_t i = 0; i < index.size(); ++i) {
        const std::size_t code = index.OffsetAt(i) / 2;
        // Category 7 (codes 2625 to 2999) first, then 5, 3, 1; newest first within each.
        const std::size_t group = 3 - i / 750;
        EXPECT_EQ(code / 375, 2 * group + 1) << i;
    }
    EXPECT_EQ(index.OffsetAt(0), 5999u);
    EXPECT_EQ(index.OffsetAt(2999), 750u);
}

// Filters and categories judged on the index's own reading of a line must agree with the
// event record's parsing of it, for lines of any shape.
TEST(LogViewIndexTest, AgreesWithTheEventRecordOnRandomLines) {
    const MessageCatalogue catalogue = Catalogue();
    std::mt19937 random(20090731);
    const std::string alphabet = "aAbB\t\t\t\t \r\nxX_";
    const std::vector<std::string> codes = {"A0", "B1", "C2", "N", "X", "", " A0", "a0"};
    const std::vector<std::string> filters = {"", "A", "AB", "B", "X_", " ", "\t"};
    for (int round = 0; round < 400; ++round) {
        LogViewSelection selection;
        selection.groupByCategory = round % 2 == 1;
        selection.hiddenMask = random() % 8;
        selection.productFilter = filters[random() % filters.size()];
        selection.userFilter = filters[random() % filters.size()];
        selection.computerFilter = round % 3 == 0 ? "" : filters[random() % filters.size()];
        LogViewIndex index(catalogue, selection);
        std::vector<std::uint64_t> expected;
        for (std::uint64_t line = 0; line < 20; ++line) {
            std::string text = codes[random() % codes.size()];
            for (int length = random() % 40; length > 0; --length) {
                text += alphabet[random() % alphabet.size()];
            }
            index.Add(line, text);

            const std::string_view trimmed = TrimLogLine(text);
            EventRecord record;
            record.ParseLine(trimmed);
            auto passes = [](const std::string& filter, const std::string& field) {
                return filter.empty() || UpperCaseFilter(field).find(filter) != std::string::npos;
            };
            const int category = catalogue.CategoryOf(record.code);
            const bool kept = !trimmed.empty() && passes(selection.productFilter, record.product) &&
                              passes(selection.userFilter, record.user) &&
                              passes(selection.computerFilter, record.computer) &&
                              !(category >= 0 && (selection.hiddenMask >> category) & 1u);
            if (kept) {
                expected.push_back(line);
            }
        }
        ASSERT_EQ(index.size(), expected.size()) << round;
        std::vector<std::uint64_t> shown = Shown(index);
        std::sort(shown.begin(), shown.end());
        EXPECT_EQ(shown, expected) << round;
    }
}

TEST(LogOffsetListTest, KeepsOffsetsAcrossBlocksAndLargeGaps) {
    LogOffsetList list;
    std::vector<std::uint64_t> added;
    std::uint64_t offset = 0;
    for (int i = 0; i < 40000; ++i) {
        // Mostly short steps, a few beyond what 32 bits can hold.
        offset += i % 9973 == 5 ? (std::uint64_t{1} << 32) + 3 : 97;
        list.Add(offset);
        added.push_back(offset);
    }
    list.Add(offset);  // equal offsets are allowed
    added.push_back(offset);
    ASSERT_EQ(list.size(), added.size());
    for (std::size_t i = 0; i < added.size(); ++i) {
        ASSERT_EQ(list[i], added[i]) << i;
    }
}

TEST(LogViewIndexTest, UpperCaseFilterTouchesOnlyAsciiLetters) {
    EXPECT_EQ(UpperCaseFilter("mail-Box_9 \xe4\xc4"), "MAIL-BOX_9 \xe4\xc4");
    EXPECT_EQ(TrimLogLine(" \t\r\nA B\v\f\r\n"), "A B");
}
