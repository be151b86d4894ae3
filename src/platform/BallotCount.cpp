#include "platform/BallotCount.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "support/Failure.h"
#include "support/Int16.h"

namespace ardenax {
namespace {

// ASCII white space: space, tab, line feed, vertical tab, form feed, carriage return.
bool isBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
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

// The decimal order of a well-formed numeral's first significant digit: its
// value lies in [10^(order-1), 10^order). Only the sign is needed, to tell a
// value too large for a double from one too close to zero.
long long decimalOrder(std::string_view numeral) {
    constexpr long long ExponentCap = 1000000;
    const auto e = numeral.find_first_of("eE");
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = numeral.substr(e + 1);
        const bool negative = digits.front() == '-';
        digits.remove_prefix(digits.front() == '-' || digits.front() == '+' ? 1 : 0);
        if (std::from_chars(digits.data(), digits.data() + digits.size(), exponent).ec !=
                std::errc{} ||
            exponent > ExponentCap) {
            exponent = ExponentCap;
        }
        exponent = negative ? -exponent : exponent;
    }
    const std::string_view mantissa = numeral.substr(0, e);
    const auto point = mantissa.find('.');
    const std::string_view integer = mantissa.substr(0, point);
    const auto firstInteger = integer.find_first_not_of("+-0");
    if (firstInteger != std::string_view::npos) {
        return static_cast<long long>(integer.size() - firstInteger) + exponent;
    }
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : mantissa.substr(point + 1);
    return exponent -
           static_cast<long long>(std::min(fraction.find_first_not_of('0'), fraction.size()));
}

}  // namespace

std::int16_t parseBallotCount(TextView text) {
    const std::string form = numericForm(text);
    double parsed = 0;
    // from_chars is locale-independent. Out of range is a value too large for
    // a double, or one too close to zero, which is the value 0.
    const auto [end, error] = std::from_chars(form.data(), form.data() + form.size(), parsed);
    if (error == std::errc::result_out_of_range) {
        if (decimalOrder(form) > 0) {
            throw Failure::standard(Failure::Overflow);
        }
        parsed = 0;
    }
    const double value = std::floor(parsed);
    if (!(value >= -32768.0 && value <= 32767.0)) {
        throw Failure::standard(Failure::Overflow);
    }
    return toInt16(static_cast<std::int64_t>(value));
}

}  // namespace ardenax
