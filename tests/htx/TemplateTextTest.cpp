// Literal text, variable references, escaping, assignments and the settings.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>
#include <string>

#include "HtxTestSupport.h"

namespace {

using TemplateTextTest = HtxTemplateTest;
using namespace std::string_literals;

TEST_F(TemplateTextTest, LiteralTextAndLoneAngleBrackets) {
    // NUL bytes vanish, also between "<" and the byte after it, which goes out with it; a final
    // "<" is dropped.
    EXPECT_EQ(Render("1 < 2 <b>\0x<\0i><"s), "1 < 2 <b>x<i>");
    // The second "<" is taken as the byte after the first, so no directive starts there.
    proc_.SetStringVar("x", "X");
    EXPECT_EQ(Render("<<%x%>|<%x%>|<<<%x%>"), "<<%x%>|X|<<X");
    // A "<" that ends an included text may open a directive with the text that resumes.
    WriteFile("half.htx", "a<");
    EXPECT_EQ(Render("<%include \"half.htx\"%>%x%>"), "aX");
    // A NUL between "<" and "%" does not keep the directive from starting.
    EXPECT_EQ(Render("<\0%x\0%>"s), "X");
}

TEST_F(TemplateTextTest, ReferencesWriteIntsTextsAndSettings) {
    proc_.SetIntVar("n", -5);
    proc_.SetStringVar("s", "a<b");
    proc_.SetStringVar("z", "a\0b"s);
    EXPECT_EQ(Render("[<%n%>][<%s%>][<%nope%>][<%#debug_level%>][<%z%>]"), "[-5][a<b][][0][a\0b]"s);
}

TEST_F(TemplateTextTest, DiagnosticsOfUndefinedNamesNeedTheDebugLevel) {
    EXPECT_EQ(Render("[<%nope%>][<% s%>]"), "[][]");
    EXPECT_EQ(Render("<%#set #debug_level 1%>[<%nope%>][<% s%>]"),
              "[******Invalid Variable---nope*****][******Invalid Variable---*****]");
    // The setting lasts into the next run of the same processor.
    EXPECT_EQ(Render("<%Nope%>"), "******Invalid Variable---Nope*****");
}

TEST_F(TemplateTextTest, StringEscapeModeAppliesToStringsOnly) {
    proc_.SetStringVar("v", "\"'\\&<>x");
    proc_.SetIntVar("n", 42);
    EXPECT_EQ(Render("<%#set #str_esc_mode 1%><%v%>|"
                     "<%#set #str_esc_mode 2%><%v%>|"
                     "<%#set #str_esc_mode 3%><%v%><%n%>|"
                     "<%#set #str_esc_mode 7%><%v%>|<%#str_esc_mode%>"),
              "&quot;&#39;&#92;&<>x|"
              "\\\"\\'\\\\&<>x|"
              "&quot;&#39;&#92;&amp;&lt;&gt;x42|"
              "\"'\\&<>x|7");
}

TEST_F(TemplateTextTest, EscapedInsertionIgnoresTheMode) {
    proc_.SetStringVar("v", "\"'\\&<>x");
    proc_.SetIntVar("n", 42);
    proc_.SetListVar("L", ListOfA({"1"}));
    EXPECT_EQ(Render("<%#set #str_esc_mode 3%>"
                     "<%#esc_html v%>|<%#esc_html_tag v%>|<%#esc_script v%>|<%#esc_html n%>|"
                     "<%#esc_html L%>|<%#esc_script nope%>"),
              "&quot;&#39;&#92;&<>x|&quot;&#39;&#92;&amp;&lt;&gt;x|\\\"\\'\\\\&<>x|42||");
    EXPECT_EQ(Render("<%#set #debug_level 1%><%#esc_html L%>|<%#esc_script nope%>|"
                     "<%#esc_html_tag #debug_level%>"),
              "***Invalid type of variable L, type = 3|******Invalid Variable---nope*****|"
              "******Invalid Variable---#debug_level*****");
}

// Escaped texts go into UTF-8 pages: UTF-8 passes unchanged, a text that is not UTF-8 (stored
// from the Latin-1 pages of older installations) is written as the Latin-1 it was.
TEST_F(TemplateTextTest, EscapedTextsAreWrittenAsUtf8) {
    const struct {
        const char* stored;
        const char* shown;
    } cases[] = {
        {"\xC5\x81ukasz M\xC3\xBCller", "\xC5\x81ukasz M\xC3\xBCller"},  // UTF-8
        {"M\xFCller & Co", "M\xC3\xBCller &amp; Co"},                    // Latin-1
        {"\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},                            // three bytes
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},                        // four bytes
        {"M\xC3\xBCller \xC5", "M\xC3\xBCller \xC5"},  // last character cut by a field's length
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},              // overlong form: not UTF-8
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},  // surrogate: not UTF-8
        {"\xC3\xBC\xFC", "\xC3\x83\xC2\xBC\xC3\xBC"},  // a stray byte: all Latin-1
        {"J\xFCrgen\r\n\xC5\x81ukasz", "J\xC3\xBCrgen\r\n\xC5\x81ukasz"},  // line by line
    };
    for (const auto& c : cases) {
        proc_.SetStringVar("v", c.stored);
        EXPECT_EQ(Render("<%#esc_html_tag v%>"), c.shown) << c.stored;
        EXPECT_EQ(Render("<%v%>"), c.stored) << "unescaped text passes as it is";
    }
}

TEST_F(TemplateTextTest, AssignmentKinds) {
    proc_.SetIntVar("count", 3);
    proc_.SetListVar("L", ListOfA({"1"}));
    Render(
        "<%#set a 12%><%#set b count%><%#set c \"count\"%><%#set d 'count'%>"
        "<%#set e #trim_space%><%#set f L%><%#set g nope%>");
    EXPECT_EQ(proc_.FindVar("a")->Kind(), HtxKind::String);  // an unquoted number is a text
    EXPECT_EQ(*proc_.FindVar("a")->AsText(), "12");
    EXPECT_EQ(proc_.FindVar("b")->AsInt(), 3);
    EXPECT_EQ(*proc_.FindVar("c")->AsText(), "count");
    EXPECT_EQ(*proc_.FindVar("d")->AsText(), "count");
    EXPECT_EQ(proc_.FindVar("e")->Kind(), HtxKind::Int);
    EXPECT_EQ(proc_.FindVar("e")->AsInt(), 0);
    EXPECT_EQ(proc_.FindVar("f")->AsList(), proc_.FindVar("L")->AsList());
    EXPECT_EQ(*proc_.FindVar("g")->AsText(), "nope");
}

TEST_F(TemplateTextTest, AssignmentToSettings) {
    proc_.SetIntVar("three", 3);
    proc_.SetStringVar("word", "12abc");
    proc_.SetListVar("L", ListOfA({"1"}));
    EXPECT_EQ(Render("<%#set #debug_level three%><%#debug_level%>"
                     "<%#set #debug_level word%><%#debug_level%>"
                     "<%#set #debug_level \"x1\"%><%#debug_level%>"
                     "<%#set #debug_level L%><%#debug_level%>"
                     "<%#set #trim_space \"-4\"%><%#set #debug_level #trim_space%><%#debug_level%>"
                     "<%#set #trim_space 0%>"),
              "31200-4");
    // Settings are not variables.
    EXPECT_EQ(proc_.FindVar("#debug_level"), nullptr);
}

TEST_F(TemplateTextTest, AssignmentWithEmptyTargetDoesNothing) {
    // The second blank makes the target token empty.
    EXPECT_EQ(Render("<%#set  \"x\"%>ok"), "ok");
    EXPECT_EQ(proc_.FindVar(""), nullptr);
    EXPECT_EQ(proc_.FindVar("x"), nullptr);
}

TEST_F(TemplateTextTest, QuotedAngleBracketInAssignmentAndAfterAReference) {
    // In a quoted value ">" belongs to the value.
    EXPECT_EQ(Render("<%#set t \"a>b\"%>[<%t%>]"), "[a>b]");
    // After a reference's name, the first ">" ends the directive, quotes or not.
    EXPECT_EQ(Render("<%t \">\" rest%>X"), "a>b\" rest%>X");
}

TEST_F(TemplateTextTest, TrimSpaceKeepsTheFirstOfARunWithinOneStretch) {
    const struct {
        std::string text, shown;
    } cases[] = {
        {"<%#set #trim_space 1%>a  \n\n b", "a b"},
        // A directive starts a new stretch: its first blank is kept.
        {"a <%#set q 1%> \t\r\nb\t\tc", "a  b\tc"},
        // The byte after a lone "<" is written even when it follows a blank.
        {"x < \n y", "x < y"},
        {"<%#set #trim_space 0%>a  \n\n b", "a  \n\n b"},
        // A NUL byte vanishes without ending the run of blanks around it.
        {"a \0 \0\tb \0c"s, "a b c"},
        {"  lead and trail  ", " lead and trail "},
        // The stretch goes on into the text an include leaves off at.
        {"a <%include \"part.htx\"%> b", "a  x b"},
    };
    WriteFile("part.htx", " x ");
    for (const auto& c : cases) {
        EXPECT_EQ(Render("<%#set #trim_space 1%>" + c.text), c.shown) << c.text;
    }
}

// Output goes to the writer in pieces of at most a buffer's size, pieces larger than that at
// once: in order and whole, whatever the sizes around the buffer's edge.
TEST_F(TemplateTextTest, OutputKeepsItsOrderAcrossTheBufferEdge) {
    proc_.SetStringVar("v", "<ref>");
    for (const std::size_t size : {4095u, 16383u, 16384u, 16385u, 40000u}) {
        std::string text, shown;
        for (char fill : {'a', 'b', 'c'}) {
            text += std::string(size, fill) + "<%v%>";
            shown += std::string(size, fill) + "<ref>";
        }
        EXPECT_EQ(Render(text), shown) << size;
    }
}

TEST_F(TemplateTextTest, ProcessingAMissingOrUnreadableFile) {
    std::string output;
    const HtxWriter writer = [&](const char* p, std::size_t n) { output.append(p, n); };
    EXPECT_EQ(proc_.ProcessTemplate("missing.htx", writer), HtxProcessor::kCannotOpen);
    std::filesystem::create_directory("folder.htx");
    EXPECT_EQ(proc_.ProcessTemplate("folder.htx", writer), HtxProcessor::kCannotOpen);
    EXPECT_EQ(proc_.ProcessTemplate("page.htx\0x"s, writer), HtxProcessor::kCannotOpen);
    EXPECT_EQ(output, "");
}

// Through stdio, in order with what else goes there, a page larger than the buffer included.
TEST_F(TemplateTextTest, WithoutAWriterTheOutputGoesToStandardOutput) {
    const std::string tail(40000, 'x');
    WriteFile("page.htx", "to <%n%> stdout" + tail);
    proc_.SetIntVar("n", 1);
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int file = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    dup2(file, STDOUT_FILENO);
    close(file);
    std::fputs("before ", stdout);
    const std::int32_t result = proc_.ProcessTemplate("page.htx");
    std::fputs(" after", stdout);
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    EXPECT_EQ(result, HtxProcessor::kProcessed);
    std::ifstream captured("stdout.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(captured), {}),
              "before to 1 stdout" + tail + " after");
}

TEST_F(TemplateTextTest, TextFromMemoryIsProcessedAsAFileIs) {
    proc_.SetIntVar("n", 1);
    std::string output;
    EXPECT_EQ(proc_.ProcessTemplateText("a<%n%>b\0<"s,
                                        [&](const char* p, std::size_t n) { output.append(p, n); }),
              HtxProcessor::kProcessed);
    EXPECT_EQ(output, "a1b");
}

}  // namespace
