#pragma once

#include <variant>
#include <vector>

#include "support/Text.h"

namespace ardenax {

// What the system keeps in a variant: nothing (empty), a null, a text, or an
// array of texts.
class Variant {
public:
    struct Empty {
        bool operator==(const Empty&) const = default;
    };
    struct Null {
        bool operator==(const Null&) const = default;
    };
    using TextArray = std::vector<Text>;

    Variant() = default;
    Variant(Text text) : value_(std::move(text)) {}         // NOLINT(google-explicit-constructor)
    Variant(const char16_t* text) : value_(Text(text)) {}   // NOLINT(google-explicit-constructor)
    Variant(TextArray array) : value_(std::move(array)) {}  // NOLINT(google-explicit-constructor)
    Variant(Null null) : value_(null) {}                    // NOLINT(google-explicit-constructor)

    bool isEmpty() const { return std::holds_alternative<Empty>(value_); }
    bool isNull() const { return std::holds_alternative<Null>(value_); }

    // Converts as the run-time converts a variant to a string: empty gives "",
    // null raises "Invalid use of Null" (94), an array raises type mismatch (13).
    Text toText() const;
    // A copy of the held array; anything else raises type mismatch (13).
    TextArray toTextArray() const;

    bool operator==(const Variant&) const = default;

private:
    std::variant<Empty, Null, Text, TextArray> value_;
};

}  // namespace ardenax
