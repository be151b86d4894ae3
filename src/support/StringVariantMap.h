#pragma once

#include <cstdint>
#include <vector>

#include "support/Text.h"
#include "support/Variant.h"

namespace ardenax {

// A small ordered map from texts to variants, kept as two parallel arrays and
// searched linearly. Keys come back in first-insertion order. A slot whose key
// is the empty text is free; a new map has exactly one free slot.
class StringVariantMap {
public:
    StringVariantMap();

    // Stores a copy of `val` under `key`: in the first free slot, over the
    // value of an equal key (keeping its position), or in a new last slot.
    Variant putPair(const Text& key, const Variant& val);
    // A copy of the value stored under `key`, or the empty text when absent.
    Variant getVal(const Text& key) const;
    std::vector<Text> getKeys() const;
    std::vector<Variant> getValues() const;
    // False while a free slot exists, true once every slot holds a key.
    bool isEmpty() const;
    // The last slot index.
    std::int16_t size() const;

private:
    std::vector<Text> keys_;
    std::vector<Variant> vals_;
};

}  // namespace ardenax
