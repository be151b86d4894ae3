#include "platform/BallotCount.h"

#include <charconv>
#include <cmath>
#include <string>

#include "support/Failure.h"
#include "support/Int16.h"

namespace ardenax {
namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}
bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Consumes digits at `pos`; returns how many.
std::size_t digitsAt(TextView text, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < text.size() && isDigit(text[pos])) {
        ++pos;
    }
    return pos - start;
}

// Checks the accepted numeric shape and returns it as ASCII.
std::string numericForm(TextView text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    const TextView number = text.substr(begin, end - begin);
    std::size_t pos = 0;
    if (pos < number.size() && (number[pos] == u'+' || number[pos] == u'-')) {
        ++pos;
    }
    std::size_t mantissaDigits = digitsAt(number, pos);
    if (pos < number.size() && number[pos] == u'.') {
        ++pos;
        mantissaDigits += digitsAt(number, pos);
    }
    bool valid = mantissaDigits > 0;
    if (valid && pos < number.size() && (number[pos] == u'e' || number[pos] == u'E')) {
        ++pos;
        if (pos < number.size() && (number[pos] == u'+' || number[pos] == u'-')) {
            ++pos;
        }
        valid = digitsAt(number, pos) > 0;
    }
    if (!valid || pos != number.size()) {
        throw Failure::standard(Failure::TypeMismatch);
    }
    // from_chars takes no leading '+'.
    const std::size_t skip = !number.empty() && number[0] == u'+' ? 1 : 0;
    return {number.begin() + static_cast<std::ptrdiff_t>(skip), number.end()};
}

}  // namespace

std::int16_t parseBallotCount(TextView text) {
    const std::string form = numericForm(text);
    double parsed = 0;
    // from_chars is locale-independent; an exponent too large gives out-of-range.
    const auto [end, error] = std::from_chars(form.data(), form.data() + form.size(), parsed);
    if (error == std::errc::result_out_of_range) {
        throw Failure::standard(Failure::Overflow);
    }
    const double value = std::floor(parsed);
    if (!(value >= -32768.0 && value <= 32767.0)) {
        throw Failure::standard(Failure::Overflow);
    }
    return toInt16(static_cast<std::int64_t>(value));
}

}  // namespace ardenax
