// Name/value rows as global variables: the form fields of a request.
#include <string>
#include <vector>

#include "HtxTestSupport.h"

namespace {

// A newest-first text list of name/value rows from pairs given oldest first, as a form's
// fields arrive.
std::shared_ptr<RowList> Fields(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string texts;
    std::vector<std::uint32_t> ends;
    for (const auto& [name, value] : pairs) {
        texts += name;
        ends.push_back(static_cast<std::uint32_t>(texts.size()));
        texts += value;
        ends.push_back(static_cast<std::uint32_t>(texts.size()));
    }
    return std::make_shared<RowList>(std::vector<std::string>{"ParamKey", "ParamData"}, texts, ends,
                                     true);
}

using PairVariables = HtxTemplateTest;

}  // namespace

TEST_F(PairVariables, FieldsSitBetweenEarlierAndLaterSets) {
    proc_.SetStringVar("env", "from the environment");
    proc_.SetStringVar("both", "from the environment");
    proc_.SetPairVars(Fields({{"a", "1"}, {"both", "field"}, {"a", "2"}, {"b", "3"}}));
    proc_.SetStringVar("b", "page");
    const struct {
        const char* name;
        const char* value;  // null: undefined
    } cases[] = {
        {"a", "2"},  // the last field of a name
        {"both", "field"}, {"b", "page"}, {"env", "from the environment"},
        {"c", nullptr},    {"", nullptr},
    };
    for (const auto& c : cases) {
        const HtxValue* value = proc_.FindVar(c.name);
        if (c.value == nullptr) {
            EXPECT_EQ(value, nullptr) << c.name;
        } else {
            ASSERT_NE(value, nullptr) << c.name;
            EXPECT_EQ(*value->AsText(), c.value) << c.name;
        }
    }
    EXPECT_EQ(Render("<%a%>|<%both%>|<%b%>|<%if a EQ 2%>yes<%endif%>"), "2|field|page|yes");
}

TEST_F(PairVariables, ManyNamesAreAllFoundAndStayInPlace) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (int i = 0; i < 5000; ++i) {
        pairs.emplace_back("f" + std::to_string(i), std::to_string(i));
    }
    pairs.emplace_back("f7", "again");
    proc_.SetPairVars(Fields(pairs));
    const HtxValue* first = proc_.FindVar("f0");
    for (int i = 0; i < 5000; ++i) {
        const HtxValue* value = proc_.FindVar("f" + std::to_string(i));
        ASSERT_NE(value, nullptr) << i;
        EXPECT_EQ(*value->AsText(), i == 7 ? "again" : std::to_string(i)) << i;
    }
    EXPECT_EQ(proc_.FindVar("f0"), first);  // looked up values do not move
    EXPECT_EQ(*first->AsText(), "0");
    EXPECT_EQ(proc_.FindVar("f5000"), nullptr);
}

TEST(PairVariablesOverEnvironment, FormFieldsHideTheEnvironmentsOwnNames) {
    const char* const environment[] = {"both=env", "PATH=/bin", "PATH=/usr/bin", nullptr};
    HtxProcessor proc(true, environment);
    proc.SetPairVars(Fields({{"both", "field"}}));
    EXPECT_EQ(*proc.FindVar("both")->AsText(), "field");
    EXPECT_EQ(*proc.FindVar("PATH")->AsText(), "/usr/bin");  // the last entry of a name
    proc.SetStringVar("PATH", "page");
    EXPECT_EQ(*proc.FindVar("PATH")->AsText(), "page");
}
