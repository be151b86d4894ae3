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
    struct Case {
        TextView text;
        std::int16_t value;
        std::int32_t failure;
    };
    constexpr std::int32_t Ok = 0;
    constexpr std::int32_t Mismatch = Failure::TypeMismatch;
    constexpr std::int32_t Overflow = Failure::Overflow;
    for (const auto& [text, value, failure] :
         std::initializer_list<Case>{{u"3", 3, Ok},
                                     {u" 7 ", 7, Ok},
                                     {u"2\n", 2, Ok},
                                     {u"\r\n\t3\v\f ", 3, Ok},
                                     {u"+2", 2, Ok},
                                     {u"2.9", 2, Ok},
                                     {u"-1.5", -2, Ok},
                                     {u".5", 0, Ok},
                                     {u"5.", 5, Ok},
                                     {u"1e2", 100, Ok},
                                     {u"25E-1", 2, Ok},
                                     {u"32767.99", 32767, Ok},
                                     {u"-32768", -32768, Ok},
                                     {u"1e-400", 0, Ok},
                                     {u"-1e-400", 0, Ok},
                                     {u"0.001e-330", 0, Ok},
                                     {u"", 0, Mismatch},
                                     {u" ", 0, Mismatch},
                                     {u"abc", 0, Mismatch},
                                     {u"0x10", 0, Mismatch},
                                     {u"1,000", 0, Mismatch},
                                     {u"NaN", 0, Mismatch},
                                     {u"inf", 0, Mismatch},
                                     {u"1e", 0, Mismatch},
                                     {u"--1", 0, Mismatch},
                                     {u".", 0, Mismatch},
                                     {u"1 2", 0, Mismatch},
                                     {u"١", 0, Mismatch},
                                     {u"e5", 0, Mismatch},
                                     {u"2\u00A0", 0, Mismatch},
                                     {u"40000", 0, Overflow},
                                     {u"32768", 0, Overflow},
                                     {u"-32768.5", 0, Overflow},
                                     {u"-32769", 0, Overflow},
                                     {u"1e400", 0, Overflow},
                                     {u"0.001e400", 0, Overflow}}) {
        SCOPED_TRACE(toUtf8(text));
        if (failure == Ok) {
            EXPECT_EQ(parseBallotCount(text), value);
        } else {
            EXPECT_EQ(failureNumber([&text = text] { parseBallotCount(text); }), failure);
        }
    }
}

}  // namespace
}  // namespace ardenax
