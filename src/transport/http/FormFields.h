#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ardenax::http {

// Form fields in the order they are sent: name and value, both UTF-8.
using FormFields = std::vector<std::pair<std::string, std::string>>;

}  // namespace ardenax::http
