// Includes: in-place processing, missing and empty files, nesting and its bound.
#include <string>

#include "HtxTestSupport.h"
#include "htx/HtxReader.h"

namespace {

using TemplateIncludeTest = HtxTemplateTest;

TEST_F(TemplateIncludeTest, IncludedTextStandsInPlaceOfTheDirective) {
    WriteFile("inc.htx", "B<%v%>");
    proc_.SetStringVar("v", "!");
    EXPECT_EQ(Render("A<%include inc.htx%>C"), "AB!C");
}

TEST_F(TemplateIncludeTest, MissingFileIsReportedWhateverTheDebugLevel) {
    EXPECT_EQ(Render("A<%include missing.htx%>C"), "A**** Can't open include file: missing.htxC");
    std::filesystem::create_directory("dir.htx");
    EXPECT_EQ(Render("A<%include dir.htx%>C"), "A**** Can't open include file: dir.htxC");
}

TEST_F(TemplateIncludeTest, EmptyFileInsertsNothing) {
    WriteFile("empty.htx", "");
    WriteFile("nul.htx", std::string(3, '\0'));
    EXPECT_EQ(Render("A<%include empty.htx%>B<%include nul.htx%>C"), "ABC");
}

TEST_F(TemplateIncludeTest, ElseAndEndifInAnIncludedFileActOnTheIncludingIf) {
    WriteFile("branches.htx", "T<%else%>F<%endif%>");
    EXPECT_EQ(Render("<%if 1 EQ 1%><%include branches.htx%>X"), "TX");
    // Skipped text opens no include, so nothing closes this if.
    EXPECT_EQ(Render("<%if 1 EQ 2%><%include branches.htx%>X"), "");
    EXPECT_EQ(Render("<%if 1 EQ 2%><%include missing.htx%><%endif%>ok"), "ok");

    WriteFile("opens.htx", "<%if 1 EQ 1%>in");
    EXPECT_EQ(Render("<%include opens.htx%>-<%endif%>after"), "in-after");
}

TEST_F(TemplateIncludeTest, NestedIncludesResumeEachIncludingText) {
    WriteFile("a.htx", "a1<%include b.htx%>a2");
    WriteFile("b.htx", "b1<%include c.htx%>b2");
    WriteFile("c.htx", "c");
    EXPECT_EQ(Render("<%include a.htx%>!"), "a1b1cb2a2!");
}

TEST_F(TemplateIncludeTest, IncludeDepthIsBounded) {
    WriteFile("self.htx", "x<%include self.htx%>y");
    const std::size_t depth = HtxReader::kMaxIncludeDepth;
    EXPECT_EQ(Render("<%include self.htx%>."), std::string(depth, 'x') +
                                                   "**** Can't open include file: self.htx" +
                                                   std::string(depth, 'y') + ".");
}

TEST_F(TemplateIncludeTest, DetailInsideAnIncludedFileEndsEachPassAtItsEnddetail) {
    // The end of each pass must not resume the including text.
    WriteFile("rows.htx", "<%begindetail L%>[<%a%>]<%enddetail%>inc-end");
    WriteFile("item.htx", "<%a%>");
    WriteFile("wrapped.htx", "<%begindetail L%>(<%include item.htx%>)<%enddetail%>");
    proc_.SetListVar("L", ListOfA({"1", "2"}));
    EXPECT_EQ(Render("<%include rows.htx%>main-end"), "[1][2]inc-endmain-end");
    EXPECT_EQ(Render("<%include wrapped.htx%>."), "(1)(2).");
}

TEST_F(TemplateIncludeTest, DetailOpenedInAnIncludedFileEndsWithThatFile) {
    // The body cannot reach past the text it starts in; reading goes on after the enddetail.
    WriteFile("detail.htx", "<%begindetail L%>[<%a%>]");
    proc_.SetListVar("L", ListOfA({"1", "2"}));
    EXPECT_EQ(Render("<%include detail.htx%>" + std::string(200, 'm') + "<%enddetail%>end"),
              "[1][2]end");
}

TEST_F(TemplateIncludeTest, AngleBracketAtTheEndOfAnIncludedFile) {
    // The text goes on in the including file, so "<" and "%" meet across the two.
    WriteFile("lt.htx", "a<");
    proc_.SetStringVar("v", "V");
    EXPECT_EQ(Render("<%include lt.htx%>%v%>b"), "aVb");
}

}  // namespace
