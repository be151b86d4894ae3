#pragma once

#include <string>
#include <string_view>

namespace ardenax {

// Every text of the system is UTF-16, as page script hands it over.
using Text = std::u16string;
using TextView = std::u16string_view;

// UTF-8 <-> UTF-16. Malformed input (bad UTF-8, lone surrogates) becomes U+FFFD.
std::string toUtf8(TextView text);
Text fromUtf8(std::string_view utf8);

// The code point at `pos`, a surrogate pair read as one; `pos` moves past it.
// A lone surrogate comes back as itself.
char32_t nextCodePoint(TextView text, std::size_t& pos);

// UTF-16 <-> the system's single-byte code page, Windows-1252. A character the
// code page cannot represent becomes '?'.
std::string toAnsi(TextView text);
Text fromAnsi(std::string_view bytes);

// True when the character has a Windows-1252 byte.
bool isAnsi(char16_t character);

// Lower-cases the letters of Windows-1252 only, independent of any locale.
char16_t foldCase(char16_t character);

// Strips U+0020 (and only it) at both ends.
Text trimBlanks(TextView text);

// The value of a hexadecimal digit of either letter case, -1 for any other character.
int hexDigitValue(char32_t character);

// Whether the first five characters are exactly "ERROR" (a shorter text is compared whole).
bool isErrorText(TextView text);

}  // namespace ardenax
