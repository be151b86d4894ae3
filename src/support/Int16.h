#pragma once

#include <cstdint>
#include <limits>

#include "support/Failure.h"

namespace ardenax {

// The system counts with signed 16-bit integers. Crossing their range raises
// overflow (6) instead of wrapping.
inline std::int16_t toInt16(std::int64_t value) {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        throw Failure::standard(Failure::Overflow);
    }
    return static_cast<std::int16_t>(value);
}

// A counted loop over first..last with a 16-bit counter. `body(i)` returns
// false to leave the loop. As with any 16-bit counter, a loop that runs to its
// end at 32767 overflows on the final increment, and bounds outside the range
// overflow before the first pass.
template <class Body>
void forEachInt16(std::int64_t first, std::int64_t last, Body body) {
    const std::int16_t from = toInt16(first);
    const std::int16_t to = toInt16(last);
    for (std::int32_t i = from; i <= to; ++i) {
        if (!body(static_cast<std::int16_t>(i))) {
            return;
        }
    }
    if (from <= to) {
        toInt16(std::int64_t{to} + 1);
    }
}

}  // namespace ardenax
