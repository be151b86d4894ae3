#include "common/SystemDefaults.h"

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

namespace ardenax::app {
namespace {

std::string variable(const Variables& variables, const std::string& name) {
    const auto found = variables.find(name);
    return found == variables.end() ? std::string() : found->second;
}

// A user folder from its XDG variable, else below HOME.
std::filesystem::path userFolder(const Variables& variables, const std::string& xdgVariable,
                                 const std::filesystem::path& belowHome) {
    if (const auto xdg = variable(variables, xdgVariable); !xdg.empty()) {
        return xdg;
    }
    const auto home = variable(variables, "HOME");
    return (home.empty() ? std::filesystem::path(".") : std::filesystem::path(home)) / belowHome;
}

}  // namespace

Variables processVariables() {
    Variables variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const auto equals = text.find('=');
        if (equals != std::string::npos) {
            variables.emplace(text.substr(0, equals), text.substr(equals + 1));
        }
    }
    return variables;
}

std::filesystem::path defaultDataRoot(const Variables& variables) {
    return userFolder(variables, "XDG_DATA_HOME", std::filesystem::path(".local") / "share") /
           "ardenax";
}

std::filesystem::path defaultDocumentsDir(const Variables& variables) {
    return userFolder(variables, "XDG_DOCUMENTS_DIR", "Documents");
}

}  // namespace ardenax::app
