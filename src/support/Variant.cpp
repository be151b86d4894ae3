#include "support/Variant.h"

#include "support/Failure.h"

namespace ardenax {

Text Variant::toText() const {
    if (isEmpty()) {
        return {};
    }
    if (isNull()) {
        throw Failure::standard(Failure::InvalidUseOfNull);
    }
    if (const auto* text = std::get_if<Text>(&value_)) {
        return *text;
    }
    throw Failure::standard(Failure::TypeMismatch);
}

Variant::TextArray Variant::toTextArray() const {
    if (const auto* array = std::get_if<TextArray>(&value_)) {
        return *array;
    }
    throw Failure::standard(Failure::TypeMismatch);
}

}  // namespace ardenax
