#include "htx/HtxCondition.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

namespace {

TEST(ConditionTest, OperatorNamesAndTheirLeadingParts) {
    const struct {
        const char* token;
        std::optional<HtxOperator> op;
    } cases[] = {
        {"", HtxOperator::Eq},
        {"eq", HtxOperator::Eq},
        {"E", HtxOperator::Eq},
        {"=", HtxOperator::Eq},
        {"g", HtxOperator::Gt},
        {"GT", HtxOperator::Gt},
        {"L", HtxOperator::Lt},
        {"lt", HtxOperator::Lt},
        {"c", HtxOperator::Contains},
        {"Cont", HtxOperator::Contains},
        {"CONTAINS", HtxOperator::Contains},
        {"ne", HtxOperator::Ne},
        {"!=", HtxOperator::Ne},
        {"!", HtxOperator::Ne},
        {"GE", HtxOperator::Ge},
        {"le", HtxOperator::Le},
        {"N", std::nullopt},
        {"T", std::nullopt},
        {"Q", std::nullopt},
        {"ONTAINS", std::nullopt},
        {"==", std::nullopt},
        {"EQUAL", std::nullopt},
        {"CONTAINSX", std::nullopt},
        {"<", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SelectOperator(c.token), c.op) << "operator \"" << c.token << "\"";
    }
}

TEST(ConditionTest, NumericTexts) {
    EXPECT_TRUE(IsNumeric(""));
    EXPECT_TRUE(IsNumeric("-"));
    EXPECT_TRUE(IsNumeric("-12"));
    EXPECT_TRUE(IsNumeric("007"));
    EXPECT_FALSE(IsNumeric("--1"));
    EXPECT_FALSE(IsNumeric("+1"));
    EXPECT_FALSE(IsNumeric("1-"));
    EXPECT_FALSE(IsNumeric(" 1"));
    EXPECT_FALSE(IsNumeric("1.5"));
}

TEST(ConditionTest, DecimalConversionSaturatesAt32Bits) {
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal("-"), 0);
    EXPECT_EQ(ParseDecimal("abc"), 0);
    EXPECT_EQ(ParseDecimal("  42abc"), 42);
    EXPECT_EQ(ParseDecimal("-17"), -17);
    EXPECT_EQ(ParseDecimal("2147483647"), 2147483647);
    EXPECT_EQ(ParseDecimal("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ParseDecimal("2147483648"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ParseDecimal("-99999999999999999999999"), std::numeric_limits<std::int32_t>::min());
}

TEST(ConditionTest, NumbersCompareByValueOtherTextsByUnsignedBytes) {
    EXPECT_TRUE(EvaluateCondition("10", HtxOperator::Gt, "9"));
    EXPECT_FALSE(EvaluateCondition("10a", HtxOperator::Gt, "9a"));
    EXPECT_TRUE(EvaluateCondition("-5", HtxOperator::Lt, "3"));
    EXPECT_TRUE(EvaluateCondition("", HtxOperator::Eq, "0"));
    EXPECT_TRUE(EvaluateCondition("-", HtxOperator::Eq, "-0"));
    EXPECT_TRUE(EvaluateCondition("007", HtxOperator::Eq, "7"));
    EXPECT_FALSE(EvaluateCondition("abc", HtxOperator::Gt, "abd"));
    EXPECT_TRUE(EvaluateCondition("ab", HtxOperator::Lt, "abc"));
    EXPECT_TRUE(EvaluateCondition("\xe9", HtxOperator::Gt, "z"));
    EXPECT_TRUE(EvaluateCondition("B", HtxOperator::Lt, "a"));
    EXPECT_TRUE(EvaluateCondition("x", HtxOperator::Ge, "x"));
    EXPECT_TRUE(EvaluateCondition("x", HtxOperator::Le, "x"));
    EXPECT_TRUE(EvaluateCondition("x", HtxOperator::Ne, "y"));
}

TEST(ConditionTest, ContainsIsAnExactSubstringTest) {
    EXPECT_TRUE(EvaluateCondition("Hello WORLD", HtxOperator::Contains, "lo W"));
    EXPECT_FALSE(EvaluateCondition("Hello WORLD", HtxOperator::Contains, "world"));
    EXPECT_TRUE(EvaluateCondition("abc", HtxOperator::Contains, ""));
    EXPECT_FALSE(EvaluateCondition("12", HtxOperator::Contains, "012"));
    EXPECT_TRUE(
        EvaluateCondition(std::string("a\0b", 3), HtxOperator::Contains, std::string("\0b", 2)));
}

}  // namespace
