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

TEST(BallotDescriptors, ParsesNamesWithPrefixAndCountsInOrder) {
    Environment env;
    env.messageBox = std::make_shared<testing::RecordingMessageBox>();
    XMLP7VotingPlat platform(env);
    platform.NVoteBullSeparator(u"##");
    platform.NVoteBTupleSeparator(u",");
    EXPECT_EQ(platform.getNVOTEBULL(u"A,3##B,1"), (BallotList{{u"BOT_A", 3}, {u"BOT_B", 1}}));
    EXPECT_EQ(platform.getNVOTEBULL(u",2##A,0,ignored##A,-1"),
              (BallotList{{u"BOT_", 2}, {u"BOT_A", 0}, {u"BOT_A", -1}}));
    // As a server ends its answer, with a line break.
    EXPECT_EQ(platform.getNVOTEBULL(u"A,3##C,2\r\n"), (BallotList{{u"BOT_A", 3}, {u"BOT_C", 2}}));

    // Failures keep their number and gain a second line.
    const auto empty = failureOf([&] { platform.getNVOTEBULL(u""); });
    EXPECT_EQ(empty->number(), 9999);
    EXPECT_EQ(empty->description(), u"No bull options number received!\r\nBulletin Opts Number");
    const auto trailing = failureOf([&] { platform.getNVOTEBULL(u"A,3##"); });
    EXPECT_EQ(trailing->number(), 9);
    EXPECT_EQ(trailing->description(), u"Subscript out of range\r\nBulletin Opts Number");
    EXPECT_EQ(failureNumber([&] { platform.getNVOTEBULL(u"A3"); }), 9);
    EXPECT_EQ(failureNumber([&] { platform.getNVOTEBULL(u"A,40000"); }), 6);

    platform.NVoteBullSeparator(u"x");
    platform.NVoteBTupleSeparator(u"s");
    EXPECT_EQ(platform.getNVOTEBULL(u"aS1Xbs2"), (BallotList{{u"BOT_a", 1}, {u"BOT_b", 2}}));
}

// Each count with the value it gives, or the failure number it raises.
TEST(BallotCount, ParsesDecimalFormsRoundsDownAndRefusesTheRest) {
    const std::vector<std::pair<TextView, std::int16_t>> counts = {
        {u"3", 3},           {u" 7 ", 7},    {u"2\n", 2},     {u"\r\n\t3\v\f ", 3},
        {u"+2", 2},          {u"2.9", 2},    {u"-1.5", -2},   {u".5", 0},
        {u"5.", 5},          {u"1e2", 100},  {u"25E-1", 2},   {u"32767.99", 32767},
        {u"-32768", -32768}, {u"1e-400", 0}, {u"-1e-400", 0}, {u"0.001e-330", 0}};
    for (const auto& [text, value] : counts) {
        EXPECT_EQ(parseBallotCount(text), value) << toUtf8(text);
    }
    for (const auto& [failure, texts] :
         std::initializer_list<std::pair<std::int32_t, std::vector<TextView>>>{
             {Failure::TypeMismatch,
              {u"", u" ", u"abc", u"0x10", u"1,000", u"NaN", u"inf", u"1e", u"--1", u".", u"1 2",
               u"\u0661", u"e5", u"2\u00A0"}},
             {Failure::Overflow,
              {u"40000", u"32768", u"-32768.5", u"-32769", u"1e400", u"0.001e400"}}}) {
        for (const TextView text : texts) {
            EXPECT_EQ(failureNumber([text] { parseBallotCount(text); }), failure) << toUtf8(text);
        }
    }
}

}  // namespace
}  // namespace ardenax
