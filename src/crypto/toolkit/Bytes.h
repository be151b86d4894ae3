#pragma once

#include <string>

namespace ardenax::toolkit {

// Raw octets. A std::string so that single-byte text converts without copies.
using Bytes = std::string;

}  // namespace ardenax::toolkit
