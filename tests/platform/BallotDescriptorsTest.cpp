#include <memory>

#include <gtest/gtest.h>

#include "common/Failures.h"
#include "common/RecordingMessageBox.h"
#include "platform/BallotCount.h"
#include "platform/XMLP7VotingPlat.h"

namespace ardenax {
namespace {

using testing::failureNumber;
using testing::failureOf;

class BallotDescriptors : public ::testing::Test {
protected:
    BallotDescriptors() {
        platform.NVoteBullSeparator(u"##");
        platform.NVoteBTupleSeparator(u",");
    }
    static Environment environment() {
        Environment env;
        env.messageBox = std::make_shared<testing::RecordingMessageBox>();
        return env;
    }
    XMLP7VotingPlat platform{environment()};
};

TEST_F(BallotDescriptors, ParsesNamesWithPrefixAndCountsInOrder) {
    EXPECT_EQ(platform.getNVOTEBULL(u"A,3##B,1"), (BallotList{{u"BOT_A", 3}, {u"BOT_B", 1}}));
    EXPECT_EQ(platform.getNVOTEBULL(u"Presidente,1"), (BallotList{{u"BOT_Presidente", 1}}));
    EXPECT_EQ(platform.getNVOTEBULL(u",2##A,0,ignored##A,-1"),
              (BallotList{{u"BOT_", 2}, {u"BOT_A", 0}, {u"BOT_A", -1}}));
}

TEST_F(BallotDescriptors, SeparatorsMatchWithoutLetterCase) {
    platform.NVoteBullSeparator(u"x");
    platform.NVoteBTupleSeparator(u"s");
    EXPECT_EQ(platform.getNVOTEBULL(u"aS1Xbs2"), (BallotList{{u"BOT_a", 1}, {u"BOT_b", 2}}));
}

TEST_F(BallotDescriptors, EmptyInputIs9999WithBothLines) {
    const auto failure = failureOf([&] { platform.getNVOTEBULL(u""); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->number(), 9999);
    EXPECT_EQ(failure->description(), u"No bull options number received!\r\nBulletin Opts Number");
}

TEST_F(BallotDescriptors, MalformedDescriptorsKeepTheirNumberAndGainTheSecondLine) {
    const auto trailing = failureOf([&] { platform.getNVOTEBULL(u"A,3##"); });
    ASSERT_TRUE(trailing);
    EXPECT_EQ(trailing->number(), 9);
    EXPECT_EQ(trailing->description(), u"Subscript out of range\r\nBulletin Opts Number");
    EXPECT_EQ(failureNumber([&] { platform.getNVOTEBULL(u"A3"); }), 9);
    EXPECT_EQ(failureNumber([&] { platform.getNVOTEBULL(u"A,x"); }), 13);
    EXPECT_EQ(failureNumber([&] { platform.getNVOTEBULL(u"A,40000"); }), 6);
}

TEST(BallotCount, AcceptsDecimalFormsAndRoundsDown) {
    EXPECT_EQ(parseBallotCount(u"3"), 3);
    EXPECT_EQ(parseBallotCount(u" 7 "), 7);
    EXPECT_EQ(parseBallotCount(u"+2"), 2);
    EXPECT_EQ(parseBallotCount(u"2.9"), 2);
    EXPECT_EQ(parseBallotCount(u"-1.5"), -2);
    EXPECT_EQ(parseBallotCount(u".5"), 0);
    EXPECT_EQ(parseBallotCount(u"5."), 5);
    EXPECT_EQ(parseBallotCount(u"1e2"), 100);
    EXPECT_EQ(parseBallotCount(u"25E-1"), 2);
    EXPECT_EQ(parseBallotCount(u"32767.99"), 32767);
    EXPECT_EQ(parseBallotCount(u"-32768"), -32768);
}

TEST(BallotCount, RefusesEverythingElseAsTypeMismatch) {
    for (const TextView text : {u"", u" ", u"abc", u"0x10", u"1,000", u"NaN", u"inf", u"1e", u"--1",
                                u".", u"1 2", u"١", u"e5"}) {
        EXPECT_EQ(failureNumber([&] { parseBallotCount(text); }), Failure::TypeMismatch)
            << toUtf8(text);
    }
}

TEST(BallotCount, OutsideSixteenBitsIsOverflow) {
    for (const TextView text : {u"40000", u"32768", u"-32768.5", u"-32769", u"1e400"}) {
        EXPECT_EQ(failureNumber([&] { parseBallotCount(text); }), Failure::Overflow)
            << toUtf8(text);
    }
}

}  // namespace
}  // namespace ardenax
