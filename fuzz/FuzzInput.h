#pragma once

#include <cstdlib>
#include <string_view>
#include <vector>

#include "support/Text.h"

// What every libFuzzer target here shares: the target defines fuzz(), which
// gets each input as bytes, and takes it apart with the helpers below.
namespace ardenax::fuzzing {

void fuzz(std::string_view input);

// The input cut at its first `count - 1` line feeds; missing pieces are empty.
std::vector<std::string_view> pieces(std::string_view input, std::size_t count);

// The bytes as UTF-16 code units, two bytes each (lone surrogates included).
Text utf16(std::string_view bytes);

// A property that does not hold is a finding, as a crash is.
inline void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace ardenax::fuzzing
