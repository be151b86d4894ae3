#pragma once

#include <map>
#include <string>

namespace ardenax::app {

// The passphrase of an election key from the file `--passphrase-file` names:
// its first line, without the line break. Never from the command line, where
// other users of the machine would see it. Raises a UsageError when the file
// cannot be read or its first line is empty.
std::string readPassphraseFile(const std::string& file);
// The passphrase of the `--passphrase-file` among a command's `flags`, ""
// when there is none.
std::string passphraseOf(const std::map<std::string, std::string>& flags);

}  // namespace ardenax::app
