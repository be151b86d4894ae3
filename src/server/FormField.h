#pragma once

#include <string>

namespace ardenax::server {

// One field of a posted form, decoded to UTF-8.
struct FormField {
    std::string name;
    std::string value;

    bool operator==(const FormField&) const = default;
};

}  // namespace ardenax::server
