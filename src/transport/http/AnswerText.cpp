#include "transport/http/AnswerText.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace ardenax::http {
namespace {

enum class Charset { Utf8, Windows1252 };

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return out;
}

std::string_view trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The value of the charset parameter of a Content-Type, lower-cased, unquoted.
std::string charsetParameter(std::string_view contentType) {
    const std::string lowered = lowerAscii(contentType);
    std::string_view rest(lowered);
    for (auto semicolon = rest.find(';'); semicolon != std::string_view::npos;
         semicolon = rest.find(';')) {
        rest.remove_prefix(semicolon + 1);
        const std::string_view parameter = trimSpaces(rest.substr(0, rest.find(';')));
        const auto equals = parameter.find('=');
        if (equals == std::string_view::npos ||
            trimSpaces(parameter.substr(0, equals)) != "charset") {
            continue;
        }
        std::string_view value = trimSpaces(parameter.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return {};
}

std::optional<Charset> declaredCharset(std::string_view contentType) {
    const std::string label = charsetParameter(contentType);
    if (label == "utf-8" || label == "utf8") {
        return Charset::Utf8;
    }
    // Browsers read all of these as Windows-1252, so bytes 0x80-0x9F of a page
    // labelled Latin-1 are the code page's letters and signs, not controls.
    static constexpr std::array<std::string_view, 10> singleByte = {
        "iso-8859-1", "iso8859-1", "latin1", "l1",         "windows-1252",
        "cp1252",     "us-ascii",  "ascii",  "iso_8859-1", "x-cp1252"};
    if (std::find(singleByte.begin(), singleByte.end(), label) != singleByte.end()) {
        return Charset::Windows1252;
    }
    return std::nullopt;
}

// fromUtf8 turns every malformed sequence into U+FFFD, so the bytes survive
// the round trip exactly when they are valid UTF-8.
bool isValidUtf8(std::string_view bytes) {
    return toUtf8(fromUtf8(bytes)) == bytes;
}

}  // namespace

Text answerText(std::string_view bytes, std::string_view contentType) {
    const Charset charset =
        declaredCharset(contentType)
            .value_or(isValidUtf8(bytes) ? Charset::Utf8 : Charset::Windows1252);
    if (charset == Charset::Windows1252) {
        return fromAnsi(bytes);
    }
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (bytes.substr(0, byteOrderMark.size()) == byteOrderMark) {
        bytes.remove_prefix(byteOrderMark.size());
    }
    return fromUtf8(bytes);
}

}  // namespace ardenax::http
