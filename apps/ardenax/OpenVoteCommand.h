#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace ardenax::app {

// `ardenax open-vote`: verifies and opens a submitted vote for an auditor.
int runOpenVoteCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                       std::ostream& err);

}  // namespace ardenax::app
