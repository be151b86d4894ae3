#include "control/Guid.h"

namespace ardenax {
namespace {

constexpr std::size_t kTextLength = 38;

void appendHex(Text& out, std::uint64_t value, int digits) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out += kDigits[(value >> shift) & 0xF];
    }
}

// Reads `digits` hexadecimal digits at `pos`; nullopt if any is not one.
std::optional<std::uint64_t> readHex(TextView text, std::size_t pos, int digits) {
    std::uint64_t value = 0;
    for (int i = 0; i < digits; ++i) {
        const int digit = hexDigitValue(text[pos + static_cast<std::size_t>(i)]);
        if (digit < 0) {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return value;
}

}  // namespace

Text Guid::toText() const {
    Text out;
    out.reserve(kTextLength);
    out += u'{';
    appendHex(out, data1, 8);
    out += u'-';
    appendHex(out, data2, 4);
    out += u'-';
    appendHex(out, data3, 4);
    out += u'-';
    appendHex(out, data4[0], 2);
    appendHex(out, data4[1], 2);
    out += u'-';
    for (std::size_t i = 2; i < data4.size(); ++i) {
        appendHex(out, data4[i], 2);
    }
    out += u'}';
    return out;
}

std::optional<Guid> Guid::fromText(TextView text) {
    if (text.size() != kTextLength || text[0] != u'{' || text[9] != u'-' || text[14] != u'-' ||
        text[19] != u'-' || text[24] != u'-' || text[37] != u'}') {
        return std::nullopt;
    }
    const auto d1 = readHex(text, 1, 8);
    const auto d2 = readHex(text, 10, 4);
    const auto d3 = readHex(text, 15, 4);
    if (!d1 || !d2 || !d3) {
        return std::nullopt;
    }
    Guid guid{static_cast<std::uint32_t>(*d1),
              static_cast<std::uint16_t>(*d2),
              static_cast<std::uint16_t>(*d3),
              {}};
    constexpr std::array<std::size_t, 8> kBytePositions = {20, 22, 25, 27, 29, 31, 33, 35};
    for (std::size_t i = 0; i < kBytePositions.size(); ++i) {
        const auto byte = readHex(text, kBytePositions[i], 2);
        if (!byte) {
            return std::nullopt;
        }
        guid.data4[i] = static_cast<std::uint8_t>(*byte);
    }
    return guid;
}

}  // namespace ardenax
