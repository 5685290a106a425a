// The viewer's page arithmetic at its edges.
#include <gtest/gtest.h>

#include "admin/LogViewerPaging.h"

TEST(LogViewerPagingTest, PageSizeBounds) {
    EXPECT_EQ(BoundedLogPageSize(-5), 10);
    EXPECT_EQ(BoundedLogPageSize(0), 10);
    EXPECT_EQ(BoundedLogPageSize(10), 10);
    EXPECT_EQ(BoundedLogPageSize(11), 11);
    EXPECT_EQ(BoundedLogPageSize(200), 200);
    EXPECT_EQ(BoundedLogPageSize(201), 200);
    EXPECT_EQ(BoundedLogPageSize(INT64_MAX), 200);
}

TEST(LogViewerPagingTest, ButtonsStayWithinTheLog) {
    struct Case {
        const char* button;
        std::int64_t top, entries;
        std::int32_t size;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"Last", 0, 95, 40, 55},
        {">>", 55, 95, 40, 55},
        {"<<", 0, 95, 40, 0},
        {">>", 0, 95, 40, 40},
        {"<<", 55, 95, 40, 15},
        {"Read", 70, 95, 40, 55},
        {"First", 50, 95, 40, 0},
        {"", 50, 95, 40, 0},
        {"Last", 0, 5, 40, 0},
        {">>", 0, 5, 40, 0},
        {"Clear Log File", 30, 0, 40, 0},
        {"Read", -9, 95, 40, 0},
        {"Read", INT32_MAX, 95, 40, 55},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TopLineAfterButton(c.button, c.top, c.entries, c.size), c.expected)
            << c.button << " " << c.top;
    }
}

TEST(LogViewerPagingTest, PageNumbersAndButtonStates) {
    LogPageNumbers n = PageNumbersOf(95, 55, 40);
    EXPECT_EQ(n.pages, 3);
    EXPECT_EQ(n.current, 3);
    EXPECT_FALSE(n.backDisabled);
    EXPECT_TRUE(n.forwardDisabled);
    n = PageNumbersOf(0, 0, 40);
    EXPECT_EQ(n.pages, 0);
    EXPECT_EQ(n.current, 1);
    EXPECT_TRUE(n.backDisabled);
    EXPECT_TRUE(n.forwardDisabled);
    n = PageNumbersOf(80, 40, 40);
    EXPECT_EQ(n.pages, 2);
    EXPECT_EQ(n.current, 2);
    EXPECT_TRUE(n.forwardDisabled);
    n = PageNumbersOf(81, 1, 40);
    EXPECT_EQ(n.pages, 3);
    EXPECT_EQ(n.current, 2);
    EXPECT_FALSE(n.backDisabled);
    EXPECT_FALSE(n.forwardDisabled);
}
