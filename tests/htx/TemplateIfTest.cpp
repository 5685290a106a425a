// Conditions: operands, operators, branches and the skipping of nested blocks.
#include <string>

#include "HtxTestSupport.h"

namespace {

class TemplateIfTest : public HtxTemplateTest {
  protected:
    // "T" or "F" for the condition, or whatever the processor writes instead.
    std::string Condition(const std::string& condition) {
        return Render("<%if " + condition + "%>T<%else%>F<%endif%>");
    }
};

TEST_F(TemplateIfTest, NumbersCompareAsNumbersQuotedOrNot) {
    proc_.SetStringVar("nine", "9");
    proc_.SetIntVar("ten", 10);
    EXPECT_EQ(Condition("10 GT 9"), "T");
    EXPECT_EQ(Condition("\"10\"GT \"9\""), "T");
    EXPECT_EQ(Condition("nine LT ten"), "T");
    EXPECT_EQ(Condition("-5 lt 3"), "T");
    EXPECT_EQ(Condition("\"9a\"LT \"10a\""), "F");
    EXPECT_EQ(Condition("\"abc\"GT \"abd\""), "F");
    EXPECT_EQ(Condition("\"abd\"GT \"abc\""), "T");
}

TEST_F(TemplateIfTest, UndefinedOperandsWithoutDebugLevel) {
    proc_.SetListVar("L", ListOfA({"1"}));
    EXPECT_EQ(Condition("nope EQ 0"), "T");      // the empty text is the number 0
    EXPECT_EQ(Condition("nope LT \"a\""), "T");  // and the empty word against a word
    EXPECT_EQ(Condition("\"\"EQ nope"), "T");
    EXPECT_EQ(Condition("L EQ 1"), "F");                // a List is no operand either
    EXPECT_EQ(Condition("#debug_level EQ \"\""), "T");  // settings are not variables
}

TEST_F(TemplateIfTest, UndefinedOperandsWithDebugLevelSkipTheWholeIf) {
    Render("<%#set #debug_level 1%>");
    EXPECT_EQ(Render("<%if nope EQ 1%>T<%else%>F<%endif%>after"),
              "**** Invalid or undefined first operand in 'if' expression: nopeafter");
    EXPECT_EQ(Render("<%if 1 EQ 'nope'%>T<%else%>F<%endif%>after"),
              "**** Invalid or undefined second operand in 'if' expression: nopeafter");
}

TEST_F(TemplateIfTest, OperatorSpellings) {
    proc_.SetStringVar("msg", "Hello WORLD");
    EXPECT_EQ(Condition("2 e 2"), "T");
    EXPECT_EQ(Condition("2 = 2"), "T");
    EXPECT_EQ(Condition("2 != 2"), "F");
    EXPECT_EQ(Condition("2 ne 3"), "T");
    EXPECT_EQ(Condition("3 G 2"), "T");
    EXPECT_EQ(Condition("3 L 2"), "F");
    EXPECT_EQ(Condition("3 ge 3"), "T");
    EXPECT_EQ(Condition("4 LE 3"), "F");
    EXPECT_EQ(Condition("msg CONTAINS \"WORLD\""), "T");
    EXPECT_EQ(Condition("msg contains \"world\""), "F");
    EXPECT_EQ(Condition("msg Co \"lo W\""), "T");
    EXPECT_EQ(Condition("msg c \"Hello\""), "T");
}

TEST_F(TemplateIfTest, InvalidOperatorsAreReportedWithoutDebugLevel) {
    EXPECT_EQ(Condition("1 n 1"), "**** Invalid opcode in if expression: N");
    EXPECT_EQ(Condition("1 t 1"), "**** Invalid opcode in if expression: T");
    EXPECT_EQ(Condition("1 == 1"), "**** Invalid opcode in if expression: ==");
    // A quoted operator is invalid whatever it says; the blank after it is an empty operand.
    EXPECT_EQ(Condition("1 \"eq\" 1"), "**** Invalid opcode in if expression: EQ");
    EXPECT_EQ(Render("a<%if 1 lte 1%>T<%else%>F<%endif%>b"),
              "a**** Invalid opcode in if expression: LTEb");
}

TEST_F(TemplateIfTest, QuotedFirstOperandFollowedByABlankShiftsTheTokens) {
    // The blank after "b" is the (empty, so EQ) operator, and EQ becomes the second operand.
    EXPECT_EQ(Condition("\"b\" EQ \"b\""), "F");
    proc_.SetStringVar("EQ", "b");
    EXPECT_EQ(Condition("\"b\" EQ \"zzz\""), "T");
}

TEST_F(TemplateIfTest, SingleQuotedOperandIsAName) {
    proc_.SetStringVar("w", "x");
    EXPECT_EQ(Condition("'w'EQ \"x\""), "T");
    EXPECT_EQ(Condition("'w'EQ \"w\""), "F");
}

TEST_F(TemplateIfTest, FalseConditionWithoutElseWritesNothing) {
    EXPECT_EQ(Render("a<%if 1 EQ 2%>X<%endif%>b"), "ab");
    EXPECT_EQ(Render("a<%if 1 EQ 1%>X<%endif%>b"), "aXb");
}

TEST_F(TemplateIfTest, NestedBlocksInBothBranches) {
    EXPECT_EQ(Render("<%if 1 EQ 2%><%if 1 EQ 1%>A<%else%>B<%endif%>C<%else%>D<%endif%>E"), "DE");
    EXPECT_EQ(Render("<%if 1 EQ 1%>A<%if 2 EQ 3%>B<%else%>C<%endif%>D<%else%>E<%endif%>F"), "ACDF");
    // Skipping pairs begindetail with enddetail: the endif inside does not close the if.
    EXPECT_EQ(Render("<%if 1 EQ 2%><%begindetail L%><%endif%><%enddetail%>X<%else%>Y<%endif%>"),
              "Y");
    // A second else ends the false branch like the else of a true branch.
    EXPECT_EQ(Render("<%if 1 EQ 2%>A<%else%>B<%else%>C<%endif%>D"), "BD");
}

TEST_F(TemplateIfTest, UnexpectedClosers) {
    EXPECT_EQ(Render("a<%endif%>b<%enddetail%>c<%else%>d"), "abcd");
    Render("<%#set #debug_level 1%>");
    EXPECT_EQ(Render("a<%endif%>b<%enddetail%>c<%else%>d"),
              "a<br>\n**** Unexpected command: endif<br>\n"
              "b<br>\n**** Unexpected command: enddetail<br>\n"
              "c<br>\n**** Unexpected command: else<br>\nd");
    EXPECT_EQ(Render("<%if 1 EQ 1%>a<%enddetail%>b<%endif%>c"),
              "a<br>\n**** Unexpected command: enddetail<br>\nbc");
}

}  // namespace
