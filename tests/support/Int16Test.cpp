#include <vector>

#include <gtest/gtest.h>

#include "common/Failures.h"
#include "support/Int16.h"

namespace ardenax {
namespace {

using testing::failureNumber;

TEST(Int16, ConversionRaisesOverflowOutsideTheRange) {
    EXPECT_EQ(toInt16(-32768), -32768);
    EXPECT_EQ(toInt16(32767), 32767);
    EXPECT_EQ(failureNumber([] { toInt16(32768); }), Failure::Overflow);
    EXPECT_EQ(failureNumber([] { toInt16(-32769); }), Failure::Overflow);
}

// A 16-bit loop counter: bounds in order, an early exit, and the overflow
// of the final increment when the loop runs to its end at 32767.
TEST(Int16, LoopBehavesAsASixteenBitCounter) {
    std::vector<int> seen;
    forEachInt16(-2, 2, [&](std::int16_t i) {
        seen.push_back(i);
        return i < 1;
    });
    EXPECT_EQ(seen, (std::vector<int>{-2, -1, 0, 1}));
    forEachInt16(0, -1, [&](std::int16_t i) { return seen.emplace_back(i) != 0; });
    EXPECT_EQ(seen.size(), 4U);

    int passes = 0;
    EXPECT_EQ(failureNumber(
                  [&] { forEachInt16(32766, 32767, [&](std::int16_t) { return ++passes > 0; }); }),
              Failure::Overflow);
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(failureNumber([] { forEachInt16(32767, 32767, [](std::int16_t) { return false; }); }),
              0);
    EXPECT_EQ(failureNumber([] { forEachInt16(0, 40000, [](std::int16_t) { return false; }); }),
              Failure::Overflow);
}

}  // namespace
}  // namespace ardenax
