#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/TempDir.h"
#include "server/ReferenceServer.h"

namespace ardenax::bench {

// The reference servers over a demo election whose bulletin board already
// lists `size` receipts (made up: the board takes any 32 bytes), as a large
// election leaves it.
class BigBoard {
public:
    explicit BigBoard(std::uint64_t size);

    server::ReferenceServer& server() { return *server_; }
    std::string boardUrl() const { return server_->baseUrl() + "/smv/board"; }
    std::string caFile() const { return (dir_.path() / "ca.pem").string(); }
    const std::filesystem::path& folder() const { return dir_.path(); }
    // The receipt of leaf `index`.
    static std::string receipt(std::uint64_t index);

private:
    testing::TempDir dir_;
    std::unique_ptr<server::ReferenceServer> server_;
};

}  // namespace ardenax::bench
