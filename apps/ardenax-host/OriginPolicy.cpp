#include "OriginPolicy.h"

#include <algorithm>
#include <optional>

#include "support/Failure.h"
#include "support/Split.h"
#include "support/Text.h"
#include "web/BrowserIdentity.h"

namespace ardenax::host {
namespace {

struct Origin {
    std::string scheme;
    std::string host;
    std::string port;  // "" for the scheme's default, "*" in patterns only
};

bool isHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

bool isPort(std::string_view text, bool wildcardAllowed) {
    if (wildcardAllowed && text == "*") {
        return true;
    }
    if (text.empty() || text.size() > 5 || text.front() == '0' ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    return std::stoi(std::string(text)) <= 65535;
}

// Browsers serialise origins in lower case with no path; anything else is
// not an origin at all.
std::optional<Origin> parse(std::string_view text, bool wildcardAllowed) {
    const auto separator = text.find("://");
    if (separator == std::string_view::npos) {
        return std::nullopt;
    }
    Origin origin{std::string(text.substr(0, separator)), {}, {}};
    if (origin.scheme != "https" && origin.scheme != "http") {
        return std::nullopt;
    }
    std::string_view rest = text.substr(separator + 3);
    if (rest.starts_with("[::1]")) {
        origin.host = "[::1]";
        rest.remove_prefix(origin.host.size());
    } else {
        const auto end = rest.find(':');
        origin.host = std::string(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
        if (origin.host.empty() || origin.host.front() == '.' || origin.host.back() == '.' ||
            !std::all_of(origin.host.begin(), origin.host.end(), isHostCharacter)) {
            return std::nullopt;
        }
    }
    if (!rest.empty()) {
        if (rest.front() != ':' || !isPort(rest.substr(1), wildcardAllowed)) {
            return std::nullopt;
        }
        origin.port = std::string(rest.substr(1));
    }
    return origin;
}

bool isSecure(const Origin& origin) {
    return origin.scheme == "https" || origin.host == "localhost" || origin.host == "127.0.0.1" ||
           origin.host == "[::1]";
}

bool matches(const Origin& pattern, const Origin& origin) {
    return pattern.scheme == origin.scheme && pattern.host == origin.host &&
           (pattern.port == "*" || pattern.port == origin.port);
}

}  // namespace

OriginPolicy::OriginPolicy(std::vector<std::string> patterns) : patterns_(std::move(patterns)) {
    for (const auto& pattern : patterns_) {
        if (!parse(pattern, true)) {
            throw Failure(Failure::InvalidProcedureCall,
                          fromUtf8("\"" + pattern + "\" is not an origin pattern such as " +
                                   "https://vote.example or http://127.0.0.1:*"),
                          u"ardenax-host");
        }
    }
}

OriginPolicy OriginPolicy::votingOrigins(std::string_view replacement) {
    std::vector<std::string> patterns;
    if (replacement.empty()) {
        patterns.assign(web::VotingOrigins.begin(), web::VotingOrigins.end());
        return OriginPolicy(std::move(patterns));
    }
    for (const auto& piece : split(fromUtf8(replacement), u",", LetterCase::Exact)) {
        std::string pattern = toUtf8(piece);
        pattern.erase(0, pattern.find_first_not_of(' '));
        pattern.erase(pattern.find_last_not_of(' ') + 1);
        patterns.push_back(std::move(pattern));
    }
    return OriginPolicy(std::move(patterns));
}

bool OriginPolicy::allows(std::string_view origin) const {
    const auto parsed = parse(origin, false);
    if (!parsed || !isSecure(*parsed)) {
        return false;
    }
    // The constructor has checked every pattern.
    return std::any_of(patterns_.begin(), patterns_.end(), [&](const std::string& pattern) {
        return matches(*parse(pattern, true), *parsed);
    });
}

}  // namespace ardenax::host
