#pragma once

#include <array>
#include <cstdint>

#include "support/Text.h"

namespace ardenax {

// A 16-byte interface or class identifier, laid out as the platform lays it
// out: a 32-bit, two 16-bit fields and eight bytes.
struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    // The 38-character braced form in upper case, {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
    Text toText() const;

    bool operator==(const Guid&) const = default;
};

}  // namespace ardenax
