#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/Environment.h"

namespace ardenax::app {

// The settings hosts share: ARDENAX_* environment variables, overridden by
// command-line flags of the same names (--promotor-url ...).
class Settings {
public:
    using Variables = std::map<std::string, std::string>;

    // The names of the settings, as flags without the leading "--".
    static const std::vector<std::string>& flagNames();

    // Takes the ARDENAX_* values from `variables` (and the user's folders,
    // HOME / XDG_* or LOCALAPPDATA, for the defaults).
    explicit Settings(Variables variables);
    static Settings fromProcess();

    // Applies a "--name=value" or "--name value" flag; false when `name` is
    // not a setting. Raises a failure for a bad value.
    bool set(const std::string& name, const std::string& value);

    // Raises a failure when a CA file is given but cannot be read or holds no
    // PEM certificate: better said at the start than at the first request.
    void checkCaFile() const;

    // The environment for a control, with `messageBox` as its box.
    Environment environment(std::shared_ptr<MessageBox> messageBox) const;

private:
    // A flag's value, else its ARDENAX_* variable's, else "".
    std::string value(const std::string& flag) const;
    // Where that value comes from: "--flag" or the variable's name.
    std::string origin(const std::string& flag) const;

    Variables variables_;
    std::map<std::string, std::string> flags_;
};

}  // namespace ardenax::app
