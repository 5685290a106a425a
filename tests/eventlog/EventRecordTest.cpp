#include "eventlog/EventRecord.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "UtcZone.h"
#include "eventlog/MessageCatalogue.h"

namespace {

// 2009-07-31 14:05:00 UTC
constexpr std::int32_t kJuly31 = 1249049100;

EventRecord SampleEvent() {
    EventRecord event;
    event.code = "LOGIN";
    event.time = kJuly31;
    event.clientAddress = "10.0.0.7";
    event.proxyAddress = "192.168.1.1";
    event.user = "NBX_admin";
    event.computer = "host";
    event.product = "Pellmora";
    event.message = "msg";
    return event;
}

using EventRecordLine = UtcZoneTest;

TEST_F(EventRecordLine, FormatsNineTabSeparatedColumns) {
    EXPECT_EQ(SampleEvent().FormatLine(),
              "LOGIN\t1249049100\t07/31/2009 14:05\t10.0.0.7\t192.168.1.1\tNBX_admin\thost\t"
              "Pellmora\tmsg");
}

TEST_F(EventRecordLine, MessageWithTabsSurvivesARoundTrip) {
    EventRecord event = SampleEvent();
    event.message = "a\tb\t\tc\t";
    EventRecord back;
    back.ParseLine(event.FormatLine());
    EXPECT_EQ(back.message, "a\tb\t\tc\t");
    EXPECT_EQ(back.code, "LOGIN");
    EXPECT_EQ(back.time, kJuly31);
    EXPECT_EQ(back.product, "Pellmora");
}

// A client controls the forwarded address: whatever it sends stays inside its own column and
// cannot start a new line.
TEST_F(EventRecordLine, ClientTextCannotSplitOrShiftTheLine) {
    EventRecord event = SampleEvent();
    event.clientAddress = "1.2.3.4\tforged\r\nLOGIN\t0\tx";
    event.user = "u\ts";
    event.message = "two\r\nlines\n";
    const std::string line = event.FormatLine();

    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 8);
    EventRecord back;
    back.ParseLine(line);
    EXPECT_EQ(back.clientAddress, "1.2.3.4 forged  LOGIN 0 x");
    EXPECT_EQ(back.proxyAddress, "192.168.1.1");
    EXPECT_EQ(back.user, "u s");
    EXPECT_EQ(back.product, "Pellmora");
    EXPECT_EQ(back.message, "two  lines ");
}

TEST_F(EventRecordLine, ParsesNegativeAndMalformedTimes) {
    EventRecord event;
    event.ParseLine("X\t-86400\tignored\t");
    EXPECT_EQ(event.time, -86400);
    event.ParseLine("X\t+12abc");
    EXPECT_EQ(event.time, 12);
    event.ParseLine("X\tabc\t");
    EXPECT_EQ(event.time, 0);
    event.ParseLine("X\t\t");
    EXPECT_EQ(event.time, 0);
    event.ParseLine("X\t99999999999999999999\t");
    EXPECT_EQ(event.time, 2147483647);
    event.ParseLine("X\t-2147483648\t");
    EXPECT_EQ(event.time, -2147483647 - 1);
    event.ParseLine("X\t-99999999999\t");
    EXPECT_EQ(event.time, -2147483647 - 1);
}

TEST_F(EventRecordLine, ShortLinesLeaveTheOtherFieldsEmpty) {
    EventRecord event = SampleEvent();
    event.ParseLine("CODE\t5\tdate\t1.1.1.1");
    EXPECT_EQ(event.code, "CODE");
    EXPECT_EQ(event.time, 5);
    EXPECT_EQ(event.clientAddress, "1.1.1.1");
    EXPECT_EQ(event.proxyAddress, "");
    EXPECT_EQ(event.user, "");
    EXPECT_EQ(event.message, "");

    event.ParseLine("");
    EXPECT_EQ(event.code, "");
    EXPECT_EQ(event.clientAddress, "");
}

TEST_F(EventRecordLine, IgnoresTheLineEnd) {
    EventRecord event;
    event.ParseLine("C\t1\td\ti\tx\tu\th\tp\tthe message\r\n");
    EXPECT_EQ(event.message, "the message");
    EXPECT_EQ(event.computer, "h");
}

using EventRecordDisplay = UtcZoneTest;

TEST_F(EventRecordDisplay, ExpandsEveryMarker) {
    const EventRecord event = SampleEvent();
    EXPECT_EQ(event.DisplayText("%c|%s|%i|%x|%u|%h|%p|%m"),
              "LOGIN|07/31/2009 14:05|10.0.0.7|192.168.1.1|NBX_admin|host|Pellmora|msg");
    EXPECT_EQ(event.DisplayText("at %d."), "at Fri Jul 31 14:05:00 UTC 2009.");
}

TEST_F(EventRecordDisplay, PercentEdgeCases) {
    const EventRecord event = SampleEvent();
    EXPECT_EQ(event.DisplayText("100%"), "100%");
    EXPECT_EQ(event.DisplayText("%"), "%");
    EXPECT_EQ(event.DisplayText("50%% of %u"), "50% of NBX_admin");
    EXPECT_EQ(event.DisplayText("%z%Q%1"), "zQ1");
    EXPECT_EQ(event.DisplayText("%%u"), "%u");  // the second '%' is consumed as a literal
}

TEST_F(EventRecordDisplay, TimesBeforeAndAtTheEpochAreTheRecordsOwn) {
    EventRecord event = SampleEvent();
    event.time = -86400;
    EXPECT_EQ(event.DisplayText("%s / %d"), "12/31/1969 00:00 / Wed Dec 31 00:00:00 UTC 1969");
    event.ParseLine("LOGIN\tnot a time\t");  // time 0 is 1970, not the moment of display
    EXPECT_EQ(event.DisplayText("%s / %d"), "01/01/1970 00:00 / Thu Jan 01 00:00:00 UTC 1970");
    EXPECT_EQ(event.FormatLine().substr(0, 25), "LOGIN\t0\t01/01/1970 00:00\t");
}

TEST_F(EventRecordDisplay, UsesTheCatalogueOrFallsBackToTheLine) {
    MessageCatalogue catalogue;
    catalogue.Parse("LOGIN User %u from %i.\nEMPTY\n");
    EventRecord event = SampleEvent();
    EXPECT_EQ(event.DisplayText(catalogue), "User NBX_admin from 10.0.0.7.");

    event.code = "UNKNOWN_CODE";
    EXPECT_EQ(event.DisplayText(catalogue), event.FormatLine());
    event.code = "EMPTY";
    EXPECT_EQ(event.DisplayText(catalogue), event.FormatLine());
    EXPECT_EQ(event.DisplayText(""), event.FormatLine());
}

TEST(EventRecordState, ResetAndStampUseTheCurrentTime) {
    EventRecord event = SampleEvent();
    const std::int32_t before = static_cast<std::int32_t>(std::time(nullptr));
    event.Reset();
    EXPECT_GE(event.time, before);
    EXPECT_EQ(event.code, "");
    EXPECT_EQ(event.clientAddress, "");
    EXPECT_EQ(event.message, "");

    event.time = 0;
    event.user = "kept";
    event.Stamp("LOGOUT", before + 5);
    EXPECT_EQ(event.time, before + 5);
    EXPECT_EQ(event.code, "LOGOUT");
    EXPECT_EQ(event.user, "kept");
}

}  // namespace
