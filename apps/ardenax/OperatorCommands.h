#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ardenax::app {

// The election operator's road, from a voter list to a result:
// `ardenax election new`: makes an election from its files.
int runElectionCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// `ardenax tally`: counts the ballot box offline, with the election's key.
int runTallyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// `ardenax export`: every stored vote as a file, and a manifest, for auditors.
int runExportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ardenax::app
