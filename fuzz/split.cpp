// Separator splitting, as credentials, choices and answers are split: the
// pieces and the separators between them add up to the whole text.
#include "support/Split.h"

#include "FuzzInput.h"

void ardenax::fuzzing::fuzz(std::string_view input) {
    const auto parts = pieces(input, 2);
    const Text separator = fromUtf8(parts[0]);
    const Text text = fromUtf8(parts[1]);
    for (const auto mode : {LetterCase::Exact, LetterCase::Ignore}) {
        const auto found = split(text, separator, mode);
        std::size_t length = 0;
        for (const auto& piece : found) {
            length += piece.size();
        }
        if (!found.empty()) {
            length += (found.size() - 1) * separator.size();
        }
        require(length == text.size() && found.empty() == text.empty());
    }
}
