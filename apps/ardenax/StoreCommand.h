#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "common/Settings.h"

namespace ardenax::app {

// `ardenax store list|purge`: the user's request store, where each control
// keeps its voter's certificate and key until its reset removes them.
int runStoreCommand(const std::vector<std::string>& args, Settings& settings, std::ostream& out,
                    std::ostream& err);

}  // namespace ardenax::app
