#include "server/FormBody.h"

#include <algorithm>
#include <string>

#include "support/Text.h"

namespace ardenax::server {
namespace {

std::optional<std::string> decode(std::string_view encoded) {
    std::string decoded;
    decoded.reserve(encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            decoded += ' ';
        } else if (c == '%') {
            const int high = i + 2 < encoded.size()
                                 ? hexDigitValue(static_cast<unsigned char>(encoded[i + 1]))
                                 : -1;
            const int low =
                high >= 0 ? hexDigitValue(static_cast<unsigned char>(encoded[i + 2])) : -1;
            if (low < 0) {
                return std::nullopt;
            }
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += c;
        }
    }
    // Malformed UTF-8 does not survive the round trip unchanged.
    if (toUtf8(fromUtf8(decoded)) != decoded) {
        return std::nullopt;
    }
    return decoded;
}

}  // namespace

std::optional<std::vector<FormField>> parseFormBody(std::string_view body) {
    std::vector<FormField> fields;
    if (body.empty()) {
        return fields;
    }
    std::size_t start = 0;
    while (start <= body.size()) {
        const auto end = std::min(body.find('&', start), body.size());
        const auto piece = body.substr(start, end - start);
        const auto equals = piece.find('=');
        if (equals == 0 || equals == std::string_view::npos) {
            return std::nullopt;
        }
        auto name = decode(piece.substr(0, equals));
        auto value = decode(piece.substr(equals + 1));
        if (!name || !value) {
            return std::nullopt;
        }
        fields.push_back({std::move(*name), std::move(*value)});
        start = end + 1;
    }
    return fields;
}

}  // namespace ardenax::server
