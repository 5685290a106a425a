#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "htx/HtxProcessor.h"

namespace {

// An environment block owning its entries, NULL-terminated like environ.
class Environment {
  public:
    explicit Environment(std::vector<std::string> entries) : entries_(std::move(entries)) {
        for (const std::string& entry : entries_) {
            block_.push_back(entry.c_str());
        }
        block_.push_back(nullptr);
    }
    const char* const* block() const { return block_.data(); }

  private:
    std::vector<std::string> entries_;
    std::vector<const char*> block_;
};

std::string FieldOf(const RowList& rows, std::size_t index, const char* field) {
    VarMap scratch;
    return *rows.Row(index, scratch).Find(field)->AsText();
}

std::string EnvKeyOf(const RowList& rows, std::size_t index) {
    return FieldOf(rows, index, "EnvKey");
}

TEST(EnvironmentImportTest, TakesTheFirst120EntriesButNeverTheThirteenth) {
    std::vector<std::string> entries;
    for (int i = 0; i < 150; ++i) {
        entries.push_back("V" + std::to_string(i) + "=" + std::to_string(i * 2));
    }
    const Environment env(entries);
    HtxProcessor proc(true, env.block());

    ASSERT_NE(proc.FindVar("V0"), nullptr);
    EXPECT_EQ(*proc.FindVar("V0")->AsText(), "0");
    EXPECT_EQ(*proc.FindVar("V119")->AsText(), "238");
    EXPECT_EQ(proc.FindVar("V12"), nullptr);
    EXPECT_EQ(proc.FindVar("V120"), nullptr);
    EXPECT_EQ(proc.FindVar("V149"), nullptr);

    const HtxValue* vars = proc.FindVar("EnvVars");
    ASSERT_NE(vars, nullptr);
    ASSERT_EQ(vars->Kind(), HtxKind::List);
    const RowList& rows = *vars->AsList();
    ASSERT_EQ(rows.size(), 119u);
    // Rows are added at the front: the list runs in reverse environment order.
    EXPECT_EQ(EnvKeyOf(rows, 0), "V119");
    EXPECT_EQ(FieldOf(rows, 0, "EnvData"), "238");
    EXPECT_EQ(EnvKeyOf(rows, 118), "V0");
    EXPECT_EQ(EnvKeyOf(rows, 118 - 11), "V11");
    EXPECT_EQ(EnvKeyOf(rows, 118 - 12), "V13");
}

TEST(EnvironmentImportTest, SplitsAtTheFirstEqualsAndSkipsEntriesWithout) {
    const Environment env({"A=x=y", "NOEQUALS", "=anonymous", "B="});
    HtxProcessor proc(true, env.block());
    EXPECT_EQ(*proc.FindVar("A")->AsText(), "x=y");
    EXPECT_EQ(proc.FindVar("NOEQUALS"), nullptr);
    EXPECT_EQ(*proc.FindVar("")->AsText(), "anonymous");
    EXPECT_EQ(*proc.FindVar("B")->AsText(), "");
    const RowList& rows = *proc.FindVar("EnvVars")->AsList();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(EnvKeyOf(rows, 0), "B");
    EXPECT_EQ(EnvKeyOf(rows, 2), "A");
}

TEST(EnvironmentImportTest, TheThirteenthEntryCountsEvenAfterSkippedOnes) {
    // Entries without "=" still take their index: "TWELVE" sits at index 12 and is skipped.
    std::vector<std::string> entries = {"BAD1", "BAD2"};
    for (int i = 2; i < 15; ++i) {
        entries.push_back(i == 12 ? "TWELVE=yes" : "E" + std::to_string(i) + "=v");
    }
    const Environment env(entries);
    HtxProcessor proc(true, env.block());
    EXPECT_EQ(proc.FindVar("TWELVE"), nullptr);
    EXPECT_NE(proc.FindVar("E11"), nullptr);
    EXPECT_NE(proc.FindVar("E13"), nullptr);
}

TEST(EnvironmentImportTest, StopsAtTheFirstEmptyEntry) {
    const Environment env({"A=1", "", "B=2"});
    HtxProcessor proc(true, env.block());
    EXPECT_NE(proc.FindVar("A"), nullptr);
    EXPECT_EQ(proc.FindVar("B"), nullptr);
    EXPECT_EQ(proc.FindVar("EnvVars")->AsList()->size(), 1u);
}

TEST(EnvironmentImportTest, WithoutTheFlagEnvVarsIsAnEmptyList) {
    const Environment env({"A=1"});
    HtxProcessor proc(false, env.block());
    EXPECT_EQ(proc.FindVar("A"), nullptr);
    const HtxValue* vars = proc.FindVar("EnvVars");
    ASSERT_NE(vars, nullptr);
    ASSERT_EQ(vars->Kind(), HtxKind::List);
    EXPECT_TRUE(vars->AsList()->empty());
}

TEST(EnvironmentImportTest, LaterSettingsOfTheSameNameWin) {
    const Environment env({"QUERY_STRING=from-env"});
    HtxProcessor proc(true, env.block());
    proc.SetStringVar("QUERY_STRING", "from-form");
    EXPECT_EQ(*proc.FindVar("QUERY_STRING")->AsText(), "from-form");
    proc.SetIntVar("QUERY_STRING", 5);
    EXPECT_EQ(proc.FindVar("QUERY_STRING")->AsInt(), 5);
    // The row of EnvVars keeps the environment's value.
    EXPECT_EQ(FieldOf(*proc.FindVar("EnvVars")->AsList(), 0, "EnvData"), "from-env");
}

}  // namespace
