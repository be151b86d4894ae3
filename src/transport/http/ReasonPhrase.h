#pragma once

#include <string_view>

namespace ardenax::http {

// The standard reason phrase of an HTTP status (RFC 9110 and its companions),
// for answers that carry none: HTTP/2 has no reason phrase at all, and an
// HTTP/1.1 status line may leave it empty. "" for a status without one.
std::string_view standardReason(long status);

}  // namespace ardenax::http
