#pragma once

#include <vector>

#include "support/Text.h"

namespace ardenax {

// One form field of an exchange with a server: its name and its value.
struct PARAM {
    Text crdName;
    Text crdValue;

    bool operator==(const PARAM&) const = default;
};

using ParamList = std::vector<PARAM>;

}  // namespace ardenax
