#pragma once

#include <cstdint>

#include "support/Text.h"

namespace ardenax {

// The number of choice slots in a ballot descriptor: ASCII white space around
// it (a line break ends many a server's answer), an optional sign, decimal
// digits with an optional fraction after ".", an optional exponent, and
// nothing else (type mismatch, 13, otherwise). The value is rounded down
// toward minus infinity and must fit 16 bits (overflow, 6, otherwise); a
// value too close to zero for a double is 0.
std::int16_t parseBallotCount(TextView text);

}  // namespace ardenax
