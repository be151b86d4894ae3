#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

namespace ardenax::host {

// Arrays and objects nest at most this deep in a message. The host's messages
// need three levels; the margin is for ids a caller makes of lists.
constexpr int MaxMessageDepth = 16;

// One message of the caller as JSON, or a discarded value for anything else:
// text that is not one JSON value, nests deeper than MaxMessageDepth (copying
// and comparing a value recurses as deep as it nests), or holds a NUL byte
// (the parser would take it for the end and ignore what follows).
nlohmann::json parseMessage(std::string_view text);

}  // namespace ardenax::host
