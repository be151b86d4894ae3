#include "crypto/toolkit/Encoding.h"

#include <algorithm>
#include <cctype>

#include <openssl/evp.h>

#include "support/Failure.h"
#include "support/Text.h"

namespace ardenax::toolkit {
namespace {

bool isBase64Char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '/';
}

Failure invalid(TextView what) {
    return {Failure::InvalidProcedureCall, Text(what), u"Encoding"};
}

}  // namespace

std::string toHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

Bytes fromHex(std::string_view hex) {
    if (hex.size() % 2 != 0) {
        throw invalid(u"Hexadecimal text of odd length");
    }
    Bytes bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexDigitValue(static_cast<unsigned char>(hex[i]));
        const int low = hexDigitValue(static_cast<unsigned char>(hex[i + 1]));
        if (high < 0 || low < 0) {
            throw invalid(u"Not a hexadecimal digit");
        }
        bytes += static_cast<char>((high << 4) | low);
    }
    return bytes;
}

std::string base64Encode(std::string_view bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                       reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

Bytes base64Decode(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) == 0) {
            compact += c;
        }
    }
    const auto padStart = compact.find('=');
    const std::size_t padding = padStart == std::string::npos ? 0 : compact.size() - padStart;
    const bool wellFormed =
        compact.size() % 4 == 0 && padding <= 2 &&
        std::all_of(compact.begin(), compact.end() - static_cast<std::ptrdiff_t>(padding),
                    isBase64Char) &&
        std::all_of(compact.end() - static_cast<std::ptrdiff_t>(padding), compact.end(),
                    [](char c) { return c == '='; });
    if (!wellFormed) {
        throw invalid(u"Malformed Base64 text");
    }
    Bytes bytes(compact.size() / 4 * 3, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                       reinterpret_cast<const unsigned char*>(compact.data()),
                                       static_cast<int>(compact.size()));
    if (length < 0) {
        throw invalid(u"Malformed Base64 text");
    }
    bytes.resize(static_cast<std::size_t>(length) - padding);
    return bytes;
}

std::string base64UrlEncode(std::string_view bytes) {
    std::string text = base64Encode(bytes);
    while (!text.empty() && text.back() == '=') {
        text.pop_back();
    }
    for (char& c : text) {
        c = c == '+' ? '-' : c == '/' ? '_' : c;
    }
    return text;
}

Bytes base64UrlDecode(std::string_view text) {
    std::string standard(text);
    for (char& c : standard) {
        const bool urlAlphabet =
            std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_';
        if (!urlAlphabet) {
            throw Failure(Failure::InvalidProcedureCall, u"Not base64url", u"Encoding");
        }
        c = c == '-' ? '+' : c == '_' ? '/' : c;
    }
    standard.append((4 - standard.size() % 4) % 4, '=');
    Bytes bytes = base64Decode(standard);
    // One text for one value: unused bits must be zero.
    if (base64UrlEncode(bytes) != text) {
        throw Failure(Failure::InvalidProcedureCall, u"Not base64url", u"Encoding");
    }
    return bytes;
}

}  // namespace ardenax::toolkit
