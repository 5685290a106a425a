// Templates that end early, nest too deeply or hold odd bytes: processing ends cleanly.
#include <string>

#include "HtxTestSupport.h"
#include "htx/HtxRun.h"
#include "htx/HtxTable.h"

namespace {

using TemplateRobustnessTest = HtxTemplateTest;
using namespace std::string_literals;

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST_F(TemplateRobustnessTest, DirectivesCutOffByTheEndOfTheFile) {
    proc_.SetListVar("L", ListOfA({"1", "2"}));
    EXPECT_EQ(Render("a<%x"), "a");
    EXPECT_EQ(Render("a<%"), "a");
    EXPECT_EQ(Render("a<%if 1 EQ 1"), "a");
    EXPECT_EQ(Render("a<%begindetail L"), "a");
    EXPECT_EQ(Render("a<%#set x \"unterminated"), "a");
    EXPECT_EQ(Render("a<%include"), "a**** Can't open include file: ");
    EXPECT_EQ(Render("a<%#esc_html"), "a");
    EXPECT_EQ(Render("ab<"), "ab");
}

TEST_F(TemplateRobustnessTest, BlocksLeftOpen) {
    proc_.SetListVar("L", ListOfA({"1", "2"}));
    EXPECT_EQ(Render("<%if 1 EQ 1%>yes"), "yes");
    EXPECT_EQ(Render("<%if 1 EQ 2%>yes"), "");
    EXPECT_EQ(Render("<%if 1 EQ 2%>a<%else%>b"), "b");
    // Without enddetail the body runs to the end of the text.
    EXPECT_EQ(Render("<%begindetail L%>[<%a%>]"), "[1][2]");
    EXPECT_EQ(Render("<%begindetail L%><%if 1 EQ 1%>[<%a%>]"), "[1][2]");
}

TEST_F(TemplateRobustnessTest, NestingIsRunUpToItsBound) {
    const int bound = HtxRun::kMaxNestingDepth;
    const std::string open = "<%if 1 EQ 1%>", close = "<%endif%>";
    EXPECT_EQ(Render(Repeat(open, bound) + "X" + Repeat(close, bound) + "Y"), "XY");
    // One level more: the innermost if is passed over whole, the rest still closes.
    EXPECT_EQ(Render(Repeat(open, bound + 1) + "X" + Repeat(close, bound + 1) + "Y"), "Y");

    proc_.SetListVar("L", ListOfA({"1"}));
    const std::string detail = "<%begindetail L%>", end = "<%enddetail%>";
    EXPECT_EQ(Render(Repeat(detail, bound) + "X" + Repeat(end, bound) + "Y"), "XY");
    EXPECT_EQ(Render(Repeat(detail, bound + 1) + "X" + Repeat(end, bound + 1) + "Y"), "Y");
}

TEST_F(TemplateRobustnessTest, DeepNestingNeverClosedEndsCleanly) {
    proc_.SetListVar("L", ListOfA({"1"}));
    EXPECT_EQ(Render(Repeat("<%if 1 EQ 1%>", 100000) + "X"), "");
    EXPECT_EQ(Render(Repeat("<%begindetail L%><%if 1 EQ 1%>", 2000) + "X"), "");
}

TEST_F(TemplateRobustnessTest, ListHoldingItselfDoesNotRecurseForever) {
    auto list = std::make_shared<RowList>();
    VarMap& row = list->AddBack();
    MapSetList(row, "Self", list);
    proc_.SetListVar("L", list);
    const std::string output = Render("<%L%>");
    EXPECT_EQ(Count(output, "<table "), static_cast<std::size_t>(kMaxTableDepth));
    EXPECT_EQ(Count(output, " </table>\n"), static_cast<std::size_t>(kMaxTableDepth));
    MapSetInt(row, "Self", 0);  // break the cycle so the list is released
}

TEST_F(TemplateRobustnessTest, NulBytesNeverReachTokens) {
    proc_.SetStringVar("ab", "AB");
    WriteFile("inc.htx", "inc");
    EXPECT_EQ(Render("<%a\0b%>|<%include i\0nc.htx%>|<%if \"1\0\"EQ 1%>T<%endif%>"s), "AB|inc|T");
}

}  // namespace
