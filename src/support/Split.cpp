#include "support/Split.h"

#include <algorithm>

namespace ardenax {
namespace {

Text folded(TextView text) {
    Text out(text);
    std::transform(out.begin(), out.end(), out.begin(), foldCase);
    return out;
}

}  // namespace

std::vector<Text> split(TextView text, TextView separator, LetterCase mode) {
    std::vector<Text> pieces;
    if (text.empty()) {
        return pieces;
    }
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    // Folding maps one character to one character, so positions found in the
    // folded copy are positions in the original.
    const Text foldedText = mode == LetterCase::Ignore ? folded(text) : Text{};
    const Text foldedSeparator = mode == LetterCase::Ignore ? folded(separator) : Text{};
    const TextView haystack = mode == LetterCase::Ignore ? TextView(foldedText) : text;
    const TextView needle = mode == LetterCase::Ignore ? TextView(foldedSeparator) : separator;

    std::size_t start = 0;
    for (auto at = haystack.find(needle); at != TextView::npos; at = haystack.find(needle, start)) {
        pieces.emplace_back(text.substr(start, at - start));
        start = at + needle.size();
    }
    pieces.emplace_back(text.substr(start));
    return pieces;
}

}  // namespace ardenax
