#pragma once

#include <string>
#include <vector>

#include "Terminal.h"

namespace ardenax::app {

// `ardenax demo`: the whole voting road against the embedded reference
// servers, every step shown. Exit 0 only when the vote was accepted and stored.
int runDemoCommand(const std::vector<std::string>& args, Terminal& terminal, std::ostream& err);

}  // namespace ardenax::app
