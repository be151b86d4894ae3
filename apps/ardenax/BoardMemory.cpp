#include "BoardMemory.h"

#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "BoardClient.h"
#include "crypto/toolkit/Digest.h"
#include "crypto/toolkit/Encoding.h"
#include "support/StagedFile.h"

namespace ardenax::app {

BoardMemory::BoardMemory(const std::filesystem::path& folder, const std::string& boardUrl)
    : file_(folder / (toolkit::base64UrlEncode(toolkit::sha256(boardUrl)) + ".json")),
      boardUrl_(boardUrl) {
    std::ifstream in(file_, std::ios::binary);
    if (!in.is_open()) {
        return;
    }
    const auto json = nlohmann::json::parse(std::istreambuf_iterator<char>(in),
                                            std::istreambuf_iterator<char>(), nullptr, false);
    const bool valid = json.is_object() && json.contains("certificate") &&
                       json["certificate"].is_string() && json.contains("head");
    auto head = valid ? server::BoardHead::fromJson(json["head"].dump()) : std::nullopt;
    if (!head) {
        // Forgetting would let a board rewrite its history unseen.
        throw BoardProblem("what was kept of the board is damaged: " + file_.string());
    }
    certificatePem_ = json["certificate"].get<std::string>();
    lastHead_ = std::move(head);
}

void BoardMemory::remember(const std::string& certificatePem, const server::BoardHead& head) {
    const nlohmann::ordered_json json{{"board", boardUrl_},
                                      {"certificate", certificatePem},
                                      {"head", nlohmann::ordered_json::parse(head.json())}};
    std::filesystem::create_directories(file_.parent_path());
    StagedFile(file_.parent_path(), json.dump(2) + "\n", StagedFile::Readers::Owner).replace(file_);
    certificatePem_ = certificatePem;
    lastHead_ = head;
}

}  // namespace ardenax::app
