#pragma once

#include <cstdint>
#include <vector>

#include "support/Text.h"

namespace ardenax {

// One ballot card of the election: "BOT_" + its name, and its number of choice slots.
struct NVOTESBULL {
    Text strBullName;
    std::int16_t intBullOptions = 0;

    bool operator==(const NVOTESBULL&) const = default;
};

using BallotList = std::vector<NVOTESBULL>;

}  // namespace ardenax
