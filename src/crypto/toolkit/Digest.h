#pragma once

#include <string_view>

#include "crypto/toolkit/Bytes.h"

namespace ardenax::toolkit {

// The 20-byte SHA-1 digest of `data`.
Bytes sha1(std::string_view data);
// The 32-byte SHA-256 digest of `data`.
Bytes sha256(std::string_view data);

}  // namespace ardenax::toolkit
