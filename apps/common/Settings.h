#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/Environment.h"

namespace ardenax::app {

// The settings hosts share: ARDENAX_* environment variables, overridden by
// command-line flags of the same names (--promotor-url ...). A flag with a
// bad value is refused; a variable with one is ignored, the default holds,
// and ignored() says so: the environment of a browser must never stop a
// control from being made. An election build reads no ARDENAX_* variable.
class Settings {
public:
    using Variables = std::map<std::string, std::string>;

    // The names of the settings, as flags without the leading "--".
    static const std::vector<std::string>& flagNames();

    // Takes the ARDENAX_* values from `variables` when `readsVariables`, and
    // the user's folders (HOME / XDG_* or LOCALAPPDATA) for the defaults.
    explicit Settings(Variables variables, bool readsVariables = !Environment::ElectionBuild);
    static Settings fromProcess();

    // Applies a "--name=value" or "--name value" flag; false when `name` is
    // not a setting. Raises a failure for a bad value.
    bool set(const std::string& name, const std::string& value);

    // Raises a failure when a CA file is given by flag but cannot be read or
    // holds no PEM certificate: better said at the start than at the first
    // request.
    void checkCaFile() const;

    // The environment for a control, with `messageBox` as its box.
    Environment environment(std::shared_ptr<MessageBox> messageBox) const;

    // Where the verifiers keep the last head they saw of each board.
    std::filesystem::path boardsFolder() const;

    // An ARDENAX_* variable this build reads, "" when it reads none of that name.
    std::string variable(const std::string& name) const;
    // One line for each variable that was ignored, and why.
    const std::vector<std::string>& ignored() const { return ignored_; }
    // Ignores variable `name` from now on, saying why.
    void ignore(const std::string& name, const std::string& why);

private:
    // A flag's value, else its ARDENAX_* variable's, else "".
    std::string value(const std::string& flag) const;

    Variables variables_;
    std::map<std::string, std::string> flags_;
    std::vector<std::string> ignored_;
};

}  // namespace ardenax::app
