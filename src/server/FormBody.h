#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "server/FormField.h"

namespace ardenax::server {

// The fields of an application/x-www-form-urlencoded body, in the order sent.
// Strict, as a browser's form never needs leniency: every piece between '&'
// is name=value with a non-empty name, '%' is followed by two hexadecimal
// digits, and the decoded texts are UTF-8. The empty body has no fields.
// Anything else is not a form: nullopt.
std::optional<std::vector<FormField>> parseFormBody(std::string_view body);

}  // namespace ardenax::server
