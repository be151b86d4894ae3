#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace ardenax::app {

// What differs between systems in the hosts' settings: where the process
// environment comes from and the user's default folders.
using Variables = std::map<std::string, std::string>;

// A path from UTF-8 text, whatever the system's own path encoding.
inline std::filesystem::path utf8Path(const std::string& text) {
    return {std::u8string(text.begin(), text.end())};
}

// The process environment, names and values in UTF-8.
Variables processVariables();
// The program's folder among the user's data: ~/.local/share/ardenax
// ($XDG_DATA_HOME), or %LOCALAPPDATA%\ArdenaX.
std::filesystem::path defaultDataRoot(const Variables& variables);
// The root of the user's certificate stores when no setting names one.
inline std::filesystem::path defaultStoreRoot(const Variables& variables) {
    return defaultDataRoot(variables) / "stores";
}
// The user's documents folder when no setting names one.
std::filesystem::path defaultDocumentsDir(const Variables& variables);

}  // namespace ardenax::app
