#include "BoardClient.h"

#include <nlohmann/json.hpp>

#include "crypto/toolkit/Encoding.h"
#include "support/Failure.h"
#include "support/Text.h"

namespace ardenax::app {
namespace {

constexpr long HttpOk = 200;
constexpr long HttpNotFound = 404;

nlohmann::json parsed(const http::Response& response, const std::string& what) {
    auto json = nlohmann::json::parse(response.body, nullptr, false);
    if (response.status != HttpOk || !json.is_object()) {
        throw BoardProblem("the board answered " + std::to_string(response.status) + " to " + what);
    }
    return json;
}

merkle::Hash hashIn(const nlohmann::json& value, const std::string& what) {
    const auto hash =
        value.is_string() ? server::hashFromBase64Url(value.get<std::string>()) : std::nullopt;
    if (!hash) {
        throw BoardProblem("the board's " + what + " holds a malformed hash");
    }
    return *hash;
}

std::uint64_t numberIn(const nlohmann::json& json, const char* name, const std::string& what) {
    if (!json.contains(name) || !json[name].is_number_unsigned()) {
        throw BoardProblem("the board's " + what + " has no " + name);
    }
    return json[name].get<std::uint64_t>();
}

std::vector<merkle::Hash> pathIn(const nlohmann::json& json, const std::string& what) {
    if (!json.contains("path") || !json["path"].is_array()) {
        throw BoardProblem("the board's " + what + " has no path");
    }
    std::vector<merkle::Hash> path;
    for (const auto& hash : json["path"]) {
        path.push_back(hashIn(hash, what));
    }
    return path;
}

}  // namespace

BoardClient::BoardClient(std::string url, const HttpSettings& settings)
    : url_(std::move(url)), session_(settings), exchange_(session_) {
    while (!url_.empty() && url_.back() == '/') {
        url_.pop_back();
    }
}

http::Response BoardClient::get(const std::string& path) {
    try {
        return exchange_.fetch(url_ + path);
    } catch (const Failure& failure) {
        throw BoardProblem("cannot read the board: " + toUtf8(failure.description()));
    }
}

server::BoardHead BoardClient::head() {
    const auto response = get("/head");
    auto head = server::BoardHead::fromJson(response.status == HttpOk ? response.body : "");
    if (!head) {
        throw BoardProblem("the board's head is not a signed head (HTTP " +
                           std::to_string(response.status) + ")");
    }
    return std::move(*head);
}

std::string BoardClient::certificatePem() {
    const auto response = get("/certificate");
    if (response.status != HttpOk) {
        throw BoardProblem("the board answered " + std::to_string(response.status) +
                           " to the certificate");
    }
    return response.body;
}

std::optional<BoardClient::Inclusion> BoardClient::proof(const std::string& receipt,
                                                         std::uint64_t size) {
    const auto response = get("/proof?receipt=" + receipt + "&size=" + std::to_string(size));
    if (response.status == HttpNotFound) {
        return std::nullopt;
    }
    const auto json = parsed(response, "the proof");
    return Inclusion{numberIn(json, "index", "proof"), pathIn(json, "proof")};
}

std::vector<merkle::Hash> BoardClient::consistency(std::uint64_t first, std::uint64_t second) {
    return pathIn(parsed(get("/consistency?first=" + std::to_string(first) +
                             "&second=" + std::to_string(second)),
                         "the consistency proof"),
                  "consistency proof");
}

std::vector<BoardClient::Entry> BoardClient::entries(std::uint64_t start, std::uint64_t end) {
    const auto json =
        parsed(get("/entries?start=" + std::to_string(start) + "&end=" + std::to_string(end)),
               "the entries");
    if (!json.contains("entries") || !json["entries"].is_array()) {
        throw BoardProblem("the board's entries are not a list");
    }
    std::vector<Entry> entries;
    for (const auto& entry : json["entries"]) {
        if (!entry.is_object() || !entry.contains("receipt")) {
            throw BoardProblem("the board's entry " + std::to_string(start + entries.size()) +
                               " is malformed");
        }
        entries.push_back({numberIn(entry, "index", "entry"), hashIn(entry["receipt"], "entry")});
    }
    return entries;
}

}  // namespace ardenax::app
