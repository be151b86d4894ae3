#include "Passphrase.h"

#include <fstream>

#include "common/Arguments.h"
#include "common/SystemDefaults.h"

namespace ardenax::app {

std::string readPassphraseFile(const std::string& file) {
    std::ifstream in(utf8Path(file), std::ios::binary);
    std::string line;
    if (!in.is_open() || !std::getline(in, line)) {
        throw UsageError("cannot read the passphrase file " + file);
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.empty()) {
        throw UsageError("the passphrase file " + file + " begins with an empty line");
    }
    return line;
}

std::string passphraseOf(const std::map<std::string, std::string>& flags) {
    const auto file = flags.find("--passphrase-file");
    return file == flags.end() ? std::string() : readPassphraseFile(file->second);
}

}  // namespace ardenax::app
