#pragma once

#include <cstddef>

#include "crypto/toolkit/Bytes.h"

namespace ardenax::toolkit {

// `count` bytes from OpenSSL's cryptographically secure generator.
Bytes randomBytes(std::size_t count);

}  // namespace ardenax::toolkit
