#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ardenax::app {

// `ardenax serve`: the reference servers for page developers, until SIGINT
// or SIGTERM.
int runServeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ardenax::app
