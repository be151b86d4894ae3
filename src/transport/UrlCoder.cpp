#include "transport/UrlCoder.h"

#include <string_view>

namespace ardenax {
namespace {

constexpr std::u16string_view kUnreserved =
    u"1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz:/.?=_-$(){}~&";

}  // namespace

Text UrlCoder::URLEncode(const Text& sRawURL) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    Text out;
    for (std::size_t pos = 0; pos < sRawURL.size();) {
        const std::size_t start = pos;
        const char32_t c = nextCodePoint(sRawURL, pos);
        if (c <= 0xFFFF && kUnreserved.find(static_cast<char16_t>(c)) != TextView::npos) {
            out += static_cast<char16_t>(c);
            continue;
        }
        // One code-page byte per character; a surrogate pair is one character.
        const auto byte =
            static_cast<unsigned char>(toAnsi(TextView(sRawURL).substr(start, pos - start))[0]);
        if (byte == 0x20) {
            out += u'+';
        } else {
            out += u'%';
            out += kDigits[byte >> 4];
            out += kDigits[byte & 0xF];
        }
    }
    return out;
}

Text UrlCoder::URLDecode(const Text& sEncodedURL) {
    Text out;
    for (std::size_t i = 0; i < sEncodedURL.size(); ++i) {
        const char16_t c = sEncodedURL[i];
        if (c == u'+') {
            out += u' ';
            continue;
        }
        if (c == u'%' && i + 2 < sEncodedURL.size()) {
            const int high = hexDigitValue(sEncodedURL[i + 1]);
            const int low = hexDigitValue(sEncodedURL[i + 2]);
            if (high >= 0 && low >= 0) {
                out += fromAnsi(std::string(1, static_cast<char>((high << 4) | low)));
                i += 2;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace ardenax
