#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "crypto/toolkit/Certificate.h"
#include "server/MerkleTree.h"

namespace ardenax::server {

// A signed statement of the bulletin board: its first `size` leaves have the
// root `root`, as of `time` (UTC, "YYYY-MM-DDTHH:MM:SS.mmmZ"). The signature
// is RSA PKCS #1 v1.5 over SHA-256 of signedText(), by the board's key.
struct BoardHead {
    std::uint64_t size = 0;
    merkle::Hash root;
    std::string time;
    toolkit::Bytes signature;

    // "ardenax-board-v1\n<size>\n<root in base64url>\n<time>".
    std::string signedText() const;
    // {"size": n, "root": R, "time": T, "signature": S}; S in Base64.
    std::string json() const;
    bool verifiedBy(const toolkit::Certificate& board) const;

    // A head as json() writes it; nothing for any other text (a field
    // missing or of the wrong type, a hash not of 32 bytes).
    static std::optional<BoardHead> fromJson(std::string_view json);
    // The head of the tree `root` of `size` leaves, signed now by `board`.
    static BoardHead signNow(std::uint64_t size, merkle::Hash root,
                             const toolkit::Certificate& board);
};

// A 32-byte hash from base64url without padding; nothing for anything else.
std::optional<merkle::Hash> hashFromBase64Url(std::string_view text);

}  // namespace ardenax::server
