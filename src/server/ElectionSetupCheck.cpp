#include "server/ElectionSetupCheck.h"

#include <algorithm>
#include <set>

#include "support/Failure.h"

namespace ardenax::server {
namespace {

constexpr std::size_t MaxNameLength = 100;
constexpr int MaxSlots = 32767;

Failure invalidSetup(const std::string& what) {
    return {Failure::InvalidProcedureCall, fromUtf8(what), u"ElectionSetup"};
}

// Names travel unescaped in an HTML page, in ';'-, ','- and '##'-separated
// answers and in name=value credential pairs, so the characters that would
// break any of them are refused rather than escaped.
void requirePlain(const std::string& text, std::string_view forbidden, const std::string& what) {
    const bool wellFormed =
        !text.empty() && text.size() <= MaxNameLength && toUtf8(fromUtf8(text)) == text &&
        std::none_of(text.begin(), text.end(), [&](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x20 || byte == 0x7F || forbidden.find(c) != std::string_view::npos;
        });
    if (!wellFormed) {
        throw invalidSetup("Invalid " + what + ": \"" + text + "\"");
    }
}

}  // namespace

void requireSound(const ElectionSetup& setup) {
    constexpr std::string_view Markup = "&<>;\"'";
    requirePlain(setup.id, Markup, "election id");
    requirePlain(setup.potency, Markup, "potency");
    if (setup.cards.empty()) {
        throw invalidSetup("An election needs at least one ballot card");
    }
    std::set<std::string> names;
    for (const auto& card : setup.cards) {
        requirePlain(card.name, "&<>;\"',#=", "ballot card name");
        // The client writes its vote in Windows-1252: a name it cannot write
        // would never match.
        const Text name = fromUtf8(card.name);
        if (!std::all_of(name.begin(), name.end(), isAnsi) || !names.insert(card.name).second) {
            throw invalidSetup("Invalid ballot card name: \"" + card.name + "\"");
        }
        if (card.slots < 1 || card.slots > MaxSlots) {
            throw invalidSetup("Invalid slot count for ballot card \"" + card.name + "\"");
        }
        for (const auto& candidate : card.candidates) {
            requirePlain(candidate, "#", "candidate");
        }
    }
    std::set<std::string> logins;
    for (const auto& voter : setup.voters) {
        requirePlain(voter.login, "=#", "login");
        requirePlain(voter.password, "=#", "password");
        requirePlain(voter.displayName, Markup, "display name");
        if (!logins.insert(voter.login).second) {
            throw invalidSetup("Duplicate login: \"" + voter.login + "\"");
        }
    }
}

}  // namespace ardenax::server
