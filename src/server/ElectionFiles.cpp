#include "server/ElectionFiles.h"

#include <array>

#include <nlohmann/json.hpp>

#include "support/Failure.h"

namespace ardenax::server {
namespace {

using nlohmann::json;

constexpr int MaxSlots = 32767;

Failure fault(const std::string& where, const std::string& what) {
    return {Failure::InvalidProcedureCall, fromUtf8(where + ": " + what), u"ElectionFiles"};
}

std::string textField(const json& object, const std::string& name, const std::string& where) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string() || found->get<std::string>().empty()) {
        throw fault(where, "\"" + name + "\" must be a text that is not empty");
    }
    return found->get<std::string>();
}

BallotCard readCard(const json& card, const std::string& where) {
    if (!card.is_object()) {
        throw fault(where, "a card must be an object with \"name\", \"slots\" and \"candidates\"");
    }
    BallotCard read{textField(card, "name", where), 0, {}};
    const auto slots = card.find("slots");
    if (slots == card.end() || !slots->is_number_integer() || slots->get<long long>() < 1 ||
        slots->get<long long>() > MaxSlots) {
        throw fault(where,
                    "\"slots\" must be a whole number from 1 to " + std::to_string(MaxSlots));
    }
    read.slots = slots->get<int>();
    const auto candidates = card.find("candidates");
    if (candidates == card.end() || !candidates->is_array()) {
        throw fault(where, "\"candidates\" must be a list of texts");
    }
    for (std::size_t i = 0; i < candidates->size(); ++i) {
        const auto& candidate = (*candidates)[i];
        if (!candidate.is_string() || candidate.get<std::string>().empty()) {
            throw fault(where,
                        "candidate " + std::to_string(i + 1) + " must be a text that is not empty");
        }
        read.candidates.push_back(candidate.get<std::string>());
    }
    return read;
}

// The fields of one CSV line; quotes as RFC 4180 has them.
std::vector<std::string> csvFields(std::string_view line, const std::string& where) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"' && (quoted || fields.back().empty())) {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (quoted) {
        throw fault(where, "a quote is not closed");
    }
    return fields;
}

}  // namespace

ElectionSetup readCards(std::string_view text, const std::string& fileName) {
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        throw fault(fileName, "not a JSON object");
    }
    ElectionSetup setup;
    setup.id = textField(document, "id", fileName);
    setup.potency = textField(document, "potency", fileName);
    const auto cards = document.find("cards");
    if (cards == document.end() || !cards->is_array() || cards->empty()) {
        throw fault(fileName, "\"cards\" must be a list of at least one card");
    }
    for (std::size_t i = 0; i < cards->size(); ++i) {
        setup.cards.push_back(readCard((*cards)[i], fileName + ", card " + std::to_string(i + 1)));
    }
    return setup;
}

std::vector<Voter> readVoters(std::string_view text, const std::string& fileName) {
    std::vector<Voter> voters;
    std::size_t number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || (number == 1 && line == "login,password,name")) {
            continue;
        }
        const std::string where = fileName + ", line " + std::to_string(number);
        const auto fields = csvFields(line, where);
        if (fields.size() != 3) {
            throw fault(where, "a voter is login,password,name: " + std::to_string(fields.size()) +
                                   " fields");
        }
        static constexpr std::array<std::string_view, 3> Names = {"login", "password", "name"};
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].empty()) {
                throw fault(where, "the " + std::string(Names.at(i)) + " is empty");
            }
        }
        voters.push_back({fields[0], fields[1], fields[2]});
    }
    if (voters.empty()) {
        throw fault(fileName, "no voter");
    }
    return voters;
}

}  // namespace ardenax::server
