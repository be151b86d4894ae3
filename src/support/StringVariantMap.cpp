#include "support/StringVariantMap.h"

#include "support/Int16.h"

namespace ardenax {

StringVariantMap::StringVariantMap() : keys_(1), vals_(1) {}

Variant StringVariantMap::putPair(const Text& key, const Variant& val) {
    const auto last = static_cast<std::int64_t>(keys_.size()) - 1;
    bool stored = false;
    forEachInt16(0, last, [&](std::int16_t i) {
        const auto slot = static_cast<std::size_t>(i);
        if (keys_[slot].empty()) {
            keys_[slot] = key;
        } else if (keys_[slot] != key) {
            return true;
        }
        vals_[slot] = val;
        stored = true;
        return false;
    });
    if (!stored) {
        keys_.push_back(key);
        vals_.push_back(val);
    }
    return {};
}

Variant StringVariantMap::getVal(const Text& key) const {
    Variant result{Text{}};
    forEachInt16(0, static_cast<std::int64_t>(keys_.size()) - 1, [&](std::int16_t i) {
        const auto slot = static_cast<std::size_t>(i);
        if (keys_[slot].empty() || keys_[slot] != key) {
            return true;
        }
        result = vals_[slot];
        return false;
    });
    return result;
}

std::vector<Text> StringVariantMap::getKeys() const {
    return keys_;
}

std::vector<Variant> StringVariantMap::getValues() const {
    return vals_;
}

bool StringVariantMap::isEmpty() const {
    bool allUsed = true;
    forEachInt16(0, static_cast<std::int64_t>(keys_.size()) - 1, [&](std::int16_t i) {
        allUsed = !keys_[static_cast<std::size_t>(i)].empty();
        return allUsed;
    });
    return allUsed;
}

std::int16_t StringVariantMap::size() const {
    return toInt16(static_cast<std::int64_t>(keys_.size()) - 1);
}

}  // namespace ardenax
