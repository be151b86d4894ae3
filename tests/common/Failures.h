#pragma once

#include <cstdint>
#include <optional>

#include "support/Failure.h"

namespace ardenax::testing {

// Runs `action` and gives back the failure it raised, or nullopt.
template <class Action>
std::optional<Failure> failureOf(Action&& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure;
    }
    return std::nullopt;
}

// The number of the failure `action` raised, 0 when it raised none.
template <class Action>
std::int32_t failureNumber(Action&& action) {
    const auto failure = failureOf(action);
    return failure ? failure->number() : 0;
}

}  // namespace ardenax::testing
