#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "server/BoardHead.h"

namespace ardenax::app {

// What a verifier of this user remembers of one board, in a file of its own
// under `folder`: the certificate it first trusted and the last head it
// found true. A board that later shows another history, or signs with
// another key, is caught against them.
class BoardMemory {
public:
    BoardMemory(const std::filesystem::path& folder, const std::string& boardUrl);

    const std::optional<std::string>& certificatePem() const { return certificatePem_; }
    const std::optional<server::BoardHead>& lastHead() const { return lastHead_; }

    // Keeps `head` as the last one seen, signed by the key of `certificatePem`.
    void remember(const std::string& certificatePem, const server::BoardHead& head);

private:
    std::filesystem::path file_;
    std::string boardUrl_;
    std::optional<std::string> certificatePem_;
    std::optional<server::BoardHead> lastHead_;
};

}  // namespace ardenax::app
