#include <string>

#include <gtest/gtest.h>

#include "common/Failures.h"
#include "support/StringVariantMap.h"

namespace ardenax {
namespace {

using testing::failureNumber;
using Keys = std::vector<Text>;

// A new map has one free slot that the first key takes without growing;
// the empty key fills the free slot, which the next key takes over.
TEST(StringVariantMap, SlotsFillInInsertionOrderAndOnlyNewKeysGrowIt) {
    StringVariantMap map;
    EXPECT_EQ(map.getKeys(), Keys{u""});
    EXPECT_EQ(map.getValues(), std::vector<Variant>{Variant()});
    EXPECT_FALSE(map.isEmpty());
    EXPECT_TRUE(map.putPair(u"a", u"1").isEmpty());
    EXPECT_EQ(map.size(), 0);
    EXPECT_TRUE(map.isEmpty());  // every slot holds a key
    map.putPair(u"", u"orphan");
    EXPECT_EQ(map.getKeys(), (Keys{u"a", u""}));
    EXPECT_EQ(map.getVal(u""), Variant(u""));
    map.putPair(u"b", u"2");
    map.putPair(u"A", u"3");
    map.putPair(u"a", u"4");
    EXPECT_EQ(map.getKeys(), (Keys{u"a", u"b", u"A"}));
    EXPECT_EQ(map.size(), 2);
    EXPECT_EQ(map.getVal(u"a"), Variant(u"4"));
    EXPECT_EQ(map.getVal(u"B"), Variant(u""));
    EXPECT_EQ(map.getValues(), (std::vector<Variant>{u"4", u"2", u"3"}));
}

TEST(StringVariantMap, WalksPastSlot32767OverflowAndWalksThatStopBeforeStillWork) {
    StringVariantMap map;
    for (int i = 0; i < 32768; ++i) {
        const auto key = std::to_string(i);
        map.putPair(Text(key.begin(), key.end()), u"v");
    }
    ASSERT_EQ(map.size(), 32767);
    EXPECT_EQ(failureNumber([&] { map.putPair(u"new", u"v"); }), Failure::Overflow);
    EXPECT_EQ(failureNumber([&] { map.getVal(u"missing"); }), Failure::Overflow);
    EXPECT_EQ(failureNumber([&] { map.isEmpty(); }), Failure::Overflow);
    EXPECT_EQ(map.size(), 32767);
    map.putPair(u"32767", u"replaced");
    EXPECT_EQ(map.getVal(u"32767"), Variant(u"replaced"));
    EXPECT_EQ(map.getVal(u"0"), Variant(u"v"));
}

}  // namespace
}  // namespace ardenax
