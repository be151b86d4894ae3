#pragma once

#include <string>
#include <string_view>

#include "crypto/toolkit/Bytes.h"

namespace ardenax::toolkit {

// Upper-case hexadecimal, two digits a byte.
std::string toHex(std::string_view bytes);
// Hexadecimal of either letter case back to bytes; raises a failure on an odd
// length or a character that is not a hexadecimal digit.
Bytes fromHex(std::string_view hex);

// Standard Base64 with padding, on one line.
std::string base64Encode(std::string_view bytes);
// Decodes Base64, ignoring white space and line breaks; raises a failure on
// anything else that is not Base64.
Bytes base64Decode(std::string_view text);
// Base64 with the URL's alphabet ("-" and "_" for "+" and "/") and no padding,
// for texts that travel in addresses and file names.
std::string base64UrlEncode(std::string_view bytes);
// Its inverse, for exactly the texts base64UrlEncode writes; raises a failure
// on any other.
Bytes base64UrlDecode(std::string_view text);

}  // namespace ardenax::toolkit
