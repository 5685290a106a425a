#include "htx/VarMap.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "htx/RowList.h"

namespace {

std::vector<std::string> Names(const VarMap& map) {
    std::vector<std::string> names;
    map.ForEach([&](const std::string& name, const HtxValue&) { names.push_back(name); });
    return names;
}

TEST(VarMapTest, HashTakesBytesAsSignedAndWraps) {
    EXPECT_EQ(VarMap::Hash(""), 0u);
    EXPECT_EQ(VarMap::Hash("a"), 97u);
    EXPECT_EQ(VarMap::Hash("EnvKey"), 2835119122u);  // wraps past 2^32
    // "\xe9t\xe9": 0xE9 counts as -23, so the hash goes below zero and wraps.
    EXPECT_EQ(VarMap::Hash("\xe9t\xe9"), 4294946054u);
}

TEST(VarMapTest, IteratesBucketsInOrderNewestFirstWithinABucket) {
    VarMap map;
    // "a" and "r" share bucket 12; "x" is in bucket 1, "y" in 2, "EnvData" in 15.
    MapSetString(map, "a", "1");
    MapSetString(map, "EnvData", "2");
    MapSetString(map, "x", "3");
    MapSetString(map, "r", "4");
    MapSetString(map, "y", "5");
    EXPECT_EQ(Names(map), (std::vector<std::string>{"x", "y", "r", "a", "EnvData"}));
}

TEST(VarMapTest, ReplacingKeepsThePlaceAndTakesTheNewKind) {
    VarMap map;
    MapSetString(map, "a", "old");
    MapSetString(map, "r", "other");
    MapSetInt(map, "a", 7);
    EXPECT_EQ(map.size(), 2u);
    EXPECT_EQ(Names(map), (std::vector<std::string>{"r", "a"}));
    ASSERT_NE(map.Find("a"), nullptr);
    EXPECT_EQ(map.Find("a")->Kind(), HtxKind::Int);
    EXPECT_EQ(map.Find("a")->AsInt(), 7);
}

TEST(VarMapTest, NamesAreByteStringsComparedExactly) {
    VarMap map;
    MapSetString(map, "Name", "upper");
    MapSetString(map, std::string("a\0b", 3), "with nul");
    EXPECT_EQ(map.Find("name"), nullptr);
    EXPECT_EQ(map.Find("a"), nullptr);
    ASSERT_NE(map.Find(std::string("a\0b", 3)), nullptr);
    EXPECT_EQ(*map.Find(std::string("a\0b", 3))->AsText(), "with nul");
}

TEST(VarMapTest, LargeMapsKeepTheOrderAndFindEveryName) {
    // Past a few entries lookups go through the index; the visible order must not change.
    VarMap map;
    MapSetString(map, "a", "1");
    MapSetString(map, "EnvData", "2");
    MapSetString(map, "x", "3");
    for (int i = 0; i < 5000; ++i) {
        MapSetInt(map, "n" + std::to_string(i), i);
    }
    MapSetString(map, "r", "4");
    MapSetString(map, "y", "5");
    for (int i = 0; i < 5000; i += 7) {
        MapSetInt(map, "n" + std::to_string(i), -i);  // replaced in place
    }
    MapSetInt(map, "a", 9);
    ASSERT_EQ(map.size(), 5005u);
    std::vector<std::string> known;
    for (const std::string& name : Names(map)) {
        if (name.size() == 1 || name == "EnvData") {
            known.push_back(name);
        }
    }
    EXPECT_EQ(known, (std::vector<std::string>{"x", "y", "r", "a", "EnvData"}));
    for (int i = 0; i < 5000; ++i) {
        const HtxValue* value = map.Find("n" + std::to_string(i));
        ASSERT_NE(value, nullptr) << i;
        EXPECT_EQ(value->AsInt(), i % 7 == 0 ? -i : i) << i;
    }
    EXPECT_EQ(map.Find("a")->AsInt(), 9);
    EXPECT_EQ(map.Find("n5000"), nullptr);
    map.Clear();
    EXPECT_EQ(map.Find("a"), nullptr);
    MapSetInt(map, "a", 1);
    EXPECT_EQ(Names(map), (std::vector<std::string>{"a"}));
}

TEST(HtxValueTest, AccessorsAnswerOnlyForTheirKind) {
    const HtxValue text = HtxValue::MakeString("12");
    const HtxValue number = HtxValue::MakeInt(12);
    const HtxValue list = HtxValue::MakeList(nullptr);
    EXPECT_EQ(text.AsInt(), -1);
    EXPECT_EQ(list.AsInt(), -1);
    EXPECT_EQ(number.AsText(), nullptr);
    EXPECT_EQ(number.AsList(), nullptr);
    EXPECT_EQ(text.AsList(), nullptr);
    EXPECT_EQ(static_cast<int>(list.Kind()), 3);
    ASSERT_NE(list.AsList(), nullptr);  // a null list becomes an empty one
    EXPECT_TRUE(list.AsList()->empty());
}

TEST(RowListTest, RowsGoToEitherEndAndStayInPlace) {
    RowList list;
    VarMap& middle = list.AddBack();
    MapSetInt(middle, "n", 2);
    MapSetInt(list.AddFront(), "n", 1);
    MapSetInt(list.AddBack(), "n", 3);
    MapSetInt(middle, "m", 0);  // still the same row after adding at both ends
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Find("n")->AsInt(), 1);
    EXPECT_EQ(list[1].Find("n")->AsInt(), 2);
    EXPECT_NE(list[1].Find("m"), nullptr);
    EXPECT_EQ(list[2].Find("n")->AsInt(), 3);
}

TEST(RowListTest, TextListsReadLikeMapRowsNewestFirst) {
    // Two rows of ParamKey/ParamData and a part row, which is left out.
    const RowList packed({"ParamKey", "ParamData"}, "ab1cd2ef", {1, 3, 5, 6, 7}, true);
    RowList built;
    for (const auto& [key, data] : {std::pair<const char*, const char*>{"a", "b1"}, {"cd", "2"}}) {
        VarMap& map = built.AddFront();
        MapSetString(map, "ParamKey", key);
        MapSetString(map, "ParamData", data);
    }
    ASSERT_EQ(packed.size(), 2u);
    VarMap scratch;
    VarMap unused;
    for (std::size_t i = 0; i < packed.size(); ++i) {
        const VarMap& row = packed.Row(i, scratch);
        EXPECT_EQ(Names(row), Names(built.Row(i, unused))) << i;
        EXPECT_EQ(*row.Find("ParamKey")->AsText(), *built[i].Find("ParamKey")->AsText()) << i;
        EXPECT_EQ(*row.Find("ParamData")->AsText(), *built[i].Find("ParamData")->AsText()) << i;
    }
    const RowList oldestFirst({"k"}, "xyz", {1, 3}, false);
    EXPECT_EQ(*oldestFirst.Row(0, scratch).Find("k")->AsText(), "x");
    EXPECT_EQ(*oldestFirst.Row(1, scratch).Find("k")->AsText(), "yz");
    EXPECT_TRUE(RowList({"k", "v"}, "", {}, true).empty());
}

}  // namespace
