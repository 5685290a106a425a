#include "archive/KxTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>

namespace {

// Runs each case in a fixed zone with daylight saving, so zone names and gaps are known.
class KxTimeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("TZ");
        hadTz_ = old != nullptr;
        if (hadTz_) {
            oldTz_ = old;
        }
        setenv("TZ", "PST8PDT,M3.2.0,M11.1.0", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz_) {
            setenv("TZ", oldTz_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    bool hadTz_ = false;
    std::string oldTz_;
};

TEST_F(KxTimeTest, TextFormsOfALocalSummerTime) {
    KxTime t(2009, 7, 31, 14, 5, 0, 0);
    EXPECT_EQ(t.toAscText(), "Fri Jul 31 14:05:00 2009");
    EXPECT_EQ(t.zoneName(), "PDT");
    EXPECT_EQ(t.toLongText(), "Fri Jul 31 14:05:00 PDT 2009");
    EXPECT_EQ(t.toShortText(), "07/31/2009 14:05");
}

TEST_F(KxTimeTest, WinterTimeUsesStandardZoneAndDayHasLeadingZero) {
    KxTime t(2010, 1, 3, 4, 7, 9, 0);
    EXPECT_EQ(t.toLongText(), "Sun Jan 03 04:07:09 PST 2010");
    EXPECT_EQ(t.toShortText(), "01/03/2010 04:07");
}

TEST_F(KxTimeTest, GmtValueNamesGmtAndIsNotShiftedByALocalGap) {
    // 02:30 does not exist in local time on 2009-03-08 (clocks jump from 02:00 to 03:00);
    // a UTC value must still show 02:30.
    KxTime t(2009, 3, 8, 2, 30, 0, 1);
    EXPECT_EQ(t.toLongText(), "Sun Mar 08 02:30:00 GMT 2009");
    EXPECT_EQ(t.toShortText(), "03/08/2009 02:30");
}

TEST_F(KxTimeTest, NormalisationCarriesOverflowingFields) {
    KxTime t(2009, 13, 1, 0, 0, 0, 0);  // month 13: January of the next year
    EXPECT_EQ(t.toShortText(), "01/01/2010 00:00");
    KxTime d(2009, 3, 0, 0, 0, 0, 1);  // day 0: last day of February
    EXPECT_EQ(d.toAscText(), "Sat Feb 28 00:00:00 2009");
}

TEST_F(KxTimeTest, FromTimeBreaksDownUtcAndLocal) {
    KxTime u;
    u.fromTime(1249049100, true);  // 2009-07-31 14:05:00 UTC
    EXPECT_EQ(u, KxTime(2009, 7, 31, 14, 5, 0, 1));
    KxTime l;
    l.fromTime(1249049100, false);  // PDT is UTC-7
    EXPECT_EQ(l, KxTime(2009, 7, 31, 7, 5, 0, 0));
}

TEST_F(KxTimeTest, FromTimeMinusOneClearsEveryField) {
    KxTime t(2009, 7, 31, 14, 5, 0, 1);
    t.fromTime(-1, true);
    EXPECT_EQ(t, KxTime());
    t = KxTime(2009, 7, 31, 14, 5, 0, 0);
    t.fromTime(-1, false);
    EXPECT_EQ(t, KxTime());
}

TEST_F(KxTimeTest, ZeroValueHasNoLongText) {
    // All fields 0 normalise to a date before year 1: no asctime-like text exists.
    KxTime zero;
    EXPECT_EQ(zero.toAscText(), "");
    EXPECT_EQ(zero.toLongText(), "");
}

TEST_F(KxTimeTest, FormatTimeOfAGivenMoment) {
    EXPECT_EQ(formatTimeLong(1249049100), "Fri Jul 31 07:05:00 PDT 2009");
    EXPECT_EQ(formatTimeShort(1249049100), "07/31/2009 07:05");
}

TEST_F(KxTimeTest, FormatTimeOfZeroIsNow) {
    std::time_t before = std::time(nullptr);
    std::string shortText = formatTimeShort(0);
    std::string longText = formatTimeLong(0);
    std::time_t after = std::time(nullptr);
    EXPECT_TRUE(std::regex_match(shortText, std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d)")))
        << shortText;
    EXPECT_TRUE(shortText == formatTimeShort(before) || shortText == formatTimeShort(after))
        << shortText;
    EXPECT_TRUE(std::regex_match(
        longText, std::regex(R"([A-Z][a-z]{2} [A-Z][a-z]{2} \d\d \d\d:\d\d:\d\d P[SD]T \d{4})")))
        << longText;
}

}  // namespace
