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

}  // namespace ardenax
