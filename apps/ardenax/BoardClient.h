#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/BoardHead.h"
#include "server/MerkleTree.h"
#include "support/Environment.h"
#include "transport/http/Exchange.h"
#include "transport/http/Session.h"

namespace ardenax::app {

namespace merkle = server::merkle;

// Why a board cannot be read or cannot be believed: one line for a person.
class BoardProblem : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a bulletin board over HTTPS, at `url` (https://host/smv/board), and
// checks the form of what it answers, never its truth: that is the
// verifier's. Every failure is a BoardProblem.
class BoardClient {
public:
    struct Entry {
        std::uint64_t index = 0;
        merkle::Hash receipt;
    };
    struct Inclusion {
        std::uint64_t index = 0;
        std::vector<merkle::Hash> path;
    };

    BoardClient(std::string url, const HttpSettings& settings);

    const std::string& url() const { return url_; }
    server::BoardHead head();
    std::string certificatePem();
    // Nothing when the board says the receipt is not among its first `size` leaves.
    std::optional<Inclusion> proof(const std::string& receipt, std::uint64_t size);
    std::vector<merkle::Hash> consistency(std::uint64_t first, std::uint64_t second);
    std::vector<Entry> entries(std::uint64_t start, std::uint64_t end);

private:
    http::Response get(const std::string& path);

    std::string url_;
    http::Session session_;
    http::Exchange exchange_;
};

}  // namespace ardenax::app
