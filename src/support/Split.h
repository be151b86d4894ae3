#pragma once

#include <vector>

#include "support/Text.h"

namespace ardenax {

enum class LetterCase { Exact, Ignore };

// Splits at every occurrence of `separator`, with no limit on the number of
// pieces: an empty text gives no pieces, any other text one piece more than it
// has separators, empty pieces kept. An empty separator leaves the text whole.
// LetterCase::Ignore matches the separator over folded Windows-1252 letters.
std::vector<Text> split(TextView text, TextView separator, LetterCase mode);

}  // namespace ardenax
