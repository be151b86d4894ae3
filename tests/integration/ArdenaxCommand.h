#pragma once

#include <string>
#include <utility>
#include <vector>

#include "integration/ChildProcess.h"

namespace ardenax::testing {

// Runs `ardenax` with `args` to its end: its exit status and what it printed.
inline std::pair<int, std::string> runArdenax(const std::vector<std::string>& args) {
    ChildProcess command(ARDENAX_PROGRAM, args);
    std::string printed;
    while (const auto line = command.readLine()) {
        printed += *line + "\n";
    }
    return {command.wait(), printed};
}

}  // namespace ardenax::testing
