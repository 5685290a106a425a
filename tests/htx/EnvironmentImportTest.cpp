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

// Each name is looked up first along the entries, then (after more lookups than a page makes)
// through the index of them: both answer the same.
TEST(EnvironmentImportTest, FindsANameAlongTheEntriesAndThroughTheirIndex) {
    struct Case {
        std::vector<std::string> entries;
        const char* name;
        const char* value;  // null: no variable
    };
    const Case cases[] = {
        {{"A=1", "B=2"}, "B", "2"},
        {{"A=1", "B=2", "A=3"}, "A", "3"},  // the last entry of a name wins
        {{"A=x=y"}, "A=x", nullptr},        // a name ends at its first "="
        {{"AB=1"}, "A", nullptr},           // a prefix is not the name
        {{"A=1"}, "AB", nullptr},           // nor a longer name
        {{"NOEQUALS", "B=2"}, "NOEQUALS", nullptr},
        {{"=anonymous"}, "", "anonymous"},
        {{}, "A", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Environment env(c.entries);
        HtxProcessor proc(true, env.block());
        for (int pass = 0; pass < 2; ++pass) {
            const HtxValue* found = proc.FindVar(std::string(c.name));
            if (c.value == nullptr) {
                EXPECT_EQ(found, nullptr);
            } else {
                ASSERT_NE(found, nullptr);
                EXPECT_EQ(*found->AsText(), c.value);
            }
            for (int i = 0; i < 20; ++i) {
                proc.FindVar("UNSET" + std::to_string(i));
            }
        }
    }
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

    // A form's fields hide the environment too, and a Set of "EnvVars" hides the list.
    auto fields =
        std::make_shared<RowList>(std::vector<std::string>{"ParamKey", "ParamData"},
                                  "REMOTE_ADDRfield", std::vector<std::uint32_t>{11, 16}, true);
    const Environment env2({"REMOTE_ADDR=10.0.0.1", "EnvVars=text"});
    HtxProcessor proc2(true, env2.block());
    EXPECT_EQ(proc2.FindVar("EnvVars")->Kind(), HtxKind::List);
    proc2.SetPairVars(fields);
    EXPECT_EQ(*proc2.FindVar("REMOTE_ADDR")->AsText(), "field");
    proc2.SetIntVar("EnvVars", 1);
    EXPECT_EQ(proc2.FindVar("EnvVars")->AsInt(), 1);
}

}  // namespace
