#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ardenax::host {

// Which web origins may drive the control. An origin is "scheme://host" or
// "scheme://host:port"; a pattern has the same form, with "*" allowed as the
// port to mean any port (or none). Only secure origins pass: https, or http
// on the loopback host for development.
class OriginPolicy {
public:
    // Raises a Failure for a pattern that is not of that form.
    explicit OriginPolicy(std::vector<std::string> patterns);

    // The built-in voting origins, or the comma-separated patterns of
    // `replacement` when it is not empty (ARDENAX_ALLOWED_ORIGINS).
    static OriginPolicy votingOrigins(std::string_view replacement);

    bool allows(std::string_view origin) const;

private:
    std::vector<std::string> patterns_;
};

}  // namespace ardenax::host
