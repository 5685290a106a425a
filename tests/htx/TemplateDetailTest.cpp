// Lists: the HTML table form and begindetail blocks.
#include <string>

#include "HtxTestSupport.h"

namespace {

using TemplateDetailTest = HtxTemplateTest;

const std::string kTableStart = "<table border=\"1\" cellpadding=\"3\" cellspacing=\"0\">\n<tr>\n";
const std::string kTableEnd = " </table>\n";

std::string Head(const std::string& name) {
    return " <th bgcolor=\"#B0E0E6\">" + name + "</th>\n";
}
std::string Cell(const std::string& value) {
    return " <th bgcolor=\"#FAEBD7\">" + value + "</th>\n";
}

TEST_F(TemplateDetailTest, TableColumnsFollowEachRowsOwnMapOrder) {
    auto list = std::make_shared<RowList>();
    // Buckets: "x" 1, "a" and "r" 12 (the newer first).
    VarMap& first = list->AddBack();
    MapSetString(first, "a", "1");
    MapSetString(first, "r", "<b>");
    MapSetInt(first, "x", 3);
    VarMap& second = list->AddBack();
    MapSetString(second, "r", "r2");
    MapSetString(second, "a", "a2");
    MapSetInt(second, "x", -4);
    list->AddBack();  // a row without entries
    proc_.SetListVar("L", list);

    // Cells are never escaped, whatever the escape mode.
    EXPECT_EQ(Render("<%#set #str_esc_mode 3%><%L%>."),
              kTableStart + Head("x") + Head("r") + Head("a") + " </tr>\n" +  //
                  " <tr>\n" + Cell("3") + Cell("<b>") + Cell("1") + " </tr>\n" + " <tr>\n" +
                  Cell("-4") + Cell("a2") + Cell("r2") + " </tr>\n" + " <tr>\n </tr>\n" +
                  kTableEnd + ".");
}

TEST_F(TemplateDetailTest, NestedListsBecomeNestedTablesAndEmptyListsNothing) {
    auto inner = std::make_shared<RowList>();
    MapSetString(inner->AddBack(), "k", "v");
    auto outer = std::make_shared<RowList>();
    VarMap& row = outer->AddBack();
    MapSetList(row, "Sub", inner);
    MapSetList(row, "Id", std::make_shared<RowList>());
    proc_.SetListVar("L", outer);
    proc_.SetListVar("Empty", std::make_shared<RowList>());

    // Buckets: "Id" 10, "Sub" 13.
    const std::string inner_table =
        kTableStart + Head("k") + " </tr>\n <tr>\n" + Cell("v") + " </tr>\n" + kTableEnd;
    EXPECT_EQ(Render("[<%Empty%>]<%L%>"), "[]" + kTableStart + Head("Id") + Head("Sub") +
                                              " </tr>\n <tr>\n" + Cell("") + Cell(inner_table) +
                                              " </tr>\n" + kTableEnd);
}

TEST_F(TemplateDetailTest, DetailVisitsRowsFirstToLast) {
    auto list = ListOfA({"2", "3"});
    MapSetString(list->AddFront(), "a", "1");
    proc_.SetListVar("L", list);
    EXPECT_EQ(Render("<%begindetail L%>[<%a%>]<%enddetail%>!"), "[1][2][3]!");
    // A name token ending at ">" ends the directive.
    EXPECT_EQ(Render("<%begindetail L>[<%a%>]<%enddetail%>!"), "[1][2][3]!");
    proc_.SetListVar("None", std::make_shared<RowList>());
    EXPECT_EQ(Render("a<%begindetail None%>[<%a%>]<%enddetail%>b"), "ab");
}

TEST_F(TemplateDetailTest, NestedDetailsShadowOuterRowsAndGlobals) {
    proc_.SetStringVar("name", "G");
    auto sub1 = std::make_shared<RowList>();
    MapSetString(sub1->AddBack(), "name", "I1");
    MapSetString(sub1->AddBack(), "other", "x");
    auto sub2 = std::make_shared<RowList>();
    MapSetString(sub2->AddBack(), "name", "I2");
    auto outer = std::make_shared<RowList>();
    VarMap& o1 = outer->AddBack();
    MapSetString(o1, "name", "O1");
    MapSetList(o1, "Sub", sub1);
    MapSetList(outer->AddBack(), "Sub", sub2);
    proc_.SetListVar("Outer", outer);

    EXPECT_EQ(Render("<%begindetail Outer%>(<%name%>:<%begindetail Sub%><%name%>,<%enddetail%>)"
                     "<%enddetail%><%name%>"),
              "(O1:I1,O1,)(G:I2,)G");
}

TEST_F(TemplateDetailTest, AssignmentInABodyGoesGlobalButTheRowStillHidesIt) {
    proc_.SetListVar("L", ListOfA({"1", "2"}));
    EXPECT_EQ(Render("<%begindetail L%><%#set a \"zz\"%><%a%><%enddetail%>/<%a%>"), "12/zz");
}

TEST_F(TemplateDetailTest, AssigningOverTheWalkedListKeepsItsRows) {
    proc_.SetListVar("L", ListOfA({"1", "2"}));  // the processor holds the only reference
    EXPECT_EQ(Render("<%begindetail L%><%#set L \"gone\"%><%a%><%enddetail%><%L%>"), "12gone");
}

TEST_F(TemplateDetailTest, ListsAreShared) {
    auto list = ListOfA({"1"});
    proc_.SetListVar("A", list);
    proc_.SetListVar("B", list);
    MapSetString(list->AddBack(), "a", "2");
    EXPECT_EQ(Render("<%#set C A%><%begindetail B%><%a%><%enddetail%>"
                     "<%begindetail C%><%a%><%enddetail%>"),
              "1212");
}

TEST_F(TemplateDetailTest, LookingUpDoesNotAddColumns) {
    proc_.SetListVar("L", ListOfA({"1"}));
    EXPECT_EQ(Render("<%begindetail L%><%zz%><%if zz EQ 0%><%endif%><%enddetail%><%L%>"),
              kTableStart + Head("a") + " </tr>\n <tr>\n" + Cell("1") + " </tr>\n" + kTableEnd);
}

TEST_F(TemplateDetailTest, DetailOverOtherKinds) {
    proc_.SetIntVar("n", 1);
    proc_.SetStringVar("s", "x");
    EXPECT_EQ(Render("<%begindetail n%>body<%enddetail%>|<%begindetail nope%>body<%enddetail%>|"),
              "||");
    Render("<%#set #debug_level 1%>");
    EXPECT_EQ(Render("<%begindetail n%>body<%enddetail%>|<%begindetail s%>body<%enddetail%>|"
                     "<%begindetail nope%>body<%enddetail%>|"),
              "**** Invalid operand type in 'begindetail'. Type = 1|"
              "**** Invalid operand type in 'begindetail'. Type = 2|"
              "**** Undefined variale in 'begindetail' : nope|");
}

TEST_F(TemplateDetailTest, BodyIsReadAfreshForEveryRow) {
    WriteFile("row.htx", "<%a%>");
    proc_.SetListVar("L", ListOfA({"1", "2"}));
    EXPECT_EQ(Render("<%begindetail L%>(<%include row.htx%>)<%if a EQ 1%>one<%endif%>"
                     "<%enddetail%>end"),
              "(1)one(2)end");
}

}  // namespace
