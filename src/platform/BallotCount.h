#pragma once

#include <cstdint>

#include "support/Text.h"

namespace ardenax {

// The number of choice slots in a ballot descriptor: blanks around it, an
// optional sign, decimal digits with an optional fraction after ".", an
// optional exponent, and nothing else (type mismatch, 13, otherwise). The
// value is rounded down toward minus infinity and must fit 16 bits
// (overflow, 6, otherwise).
std::int16_t parseBallotCount(TextView text);

}  // namespace ardenax
