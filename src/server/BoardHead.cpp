#include "server/BoardHead.h"

#include <chrono>
#include <ctime>
#include <iomanip>
#include <sstream>

#include <nlohmann/json.hpp>

#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Signature.h"
#include "support/Failure.h"

namespace ardenax::server {
namespace {

constexpr std::size_t HashBytes = 32;

std::string utcNowWithMilliseconds() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto milliseconds =
        duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    std::ostringstream text;
    text << std::put_time(&utc, "%Y-%m-%dT%H:%M:%S") << '.' << std::setw(3) << std::setfill('0')
         << milliseconds.count() << 'Z';
    return text.str();
}

}  // namespace

std::optional<merkle::Hash> hashFromBase64Url(std::string_view text) {
    try {
        auto hash = toolkit::base64UrlDecode(text);
        if (hash.size() == HashBytes) {
            return hash;
        }
    } catch (const Failure&) {
    }
    return std::nullopt;
}

std::string BoardHead::signedText() const {
    return "ardenax-board-v1\n" + std::to_string(size) + '\n' + toolkit::base64UrlEncode(root) +
           '\n' + time;
}

std::string BoardHead::json() const {
    return nlohmann::ordered_json{{"size", size},
                                  {"root", toolkit::base64UrlEncode(root)},
                                  {"time", time},
                                  {"signature", toolkit::base64Encode(signature)}}
        .dump();
}

bool BoardHead::verifiedBy(const toolkit::Certificate& board) const {
    return toolkit::verifySha256(board, signedText(), signature);
}

std::optional<BoardHead> BoardHead::fromJson(std::string_view json) {
    const auto parsed = nlohmann::json::parse(json, nullptr, false);
    if (!parsed.is_object() || !parsed.contains("size") || !parsed["size"].is_number_unsigned() ||
        !parsed.contains("root") || !parsed["root"].is_string() || !parsed.contains("time") ||
        !parsed["time"].is_string() || !parsed.contains("signature") ||
        !parsed["signature"].is_string()) {
        return std::nullopt;
    }
    auto root = hashFromBase64Url(parsed["root"].get<std::string>());
    if (!root) {
        return std::nullopt;
    }
    BoardHead head{parsed["size"].get<std::uint64_t>(),
                   std::move(*root),
                   parsed["time"].get<std::string>(),
                   {}};
    try {
        head.signature = toolkit::base64Decode(parsed["signature"].get<std::string>());
    } catch (const Failure&) {
        return std::nullopt;
    }
    return head;
}

BoardHead BoardHead::signNow(std::uint64_t size, merkle::Hash root,
                             const toolkit::Certificate& board) {
    BoardHead head{size, std::move(root), utcNowWithMilliseconds(), {}};
    head.signature = toolkit::signSha256(board, head.signedText());
    return head;
}

}  // namespace ardenax::server
