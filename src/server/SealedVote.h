#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "crypto/toolkit/Bytes.h"
#include "crypto/toolkit/Certificate.h"
#include "crypto/toolkit/CmsOpening.h"

namespace ardenax::server {

// A vote as the client posts it: Base64 of a CMS SignedData that embeds the
// Base64 text of a CMS EnvelopedData for the election. All that can be known
// of it without the election's private key, which the vote server never has.
struct SealedVote {
    // Empty when the vote is sound so far; else the answer to send, "ERROR ...".
    std::string refusal;
    // Known once the signature verified: what identifies the vote (see
    // submissionOf) and who signed it.
    std::string submission;
    std::optional<toolkit::Certificate> signer;
    // The envelope (DER), known once the signed content is one for the election.
    toolkit::Bytes envelope;

    bool sound() const { return refusal.empty(); }
};

// Checks the signature (one signer, content embedded, signer's certificate
// carried), that the signer is `signerCertificate` (Base64 DER) when one is
// given, and that the content is an envelope addressed to `election`.
// Never raises for anything the vote holds: a bad vote is a refusal.
SealedVote checkSealedVote(std::string_view voteBase64,
                           const std::optional<std::string>& signerCertificate,
                           const toolkit::Certificate& election);

// What identifies a signed vote however its text and its message are
// encoded: the SHA-256 digest, in hexadecimal, of its signer's signature
// value, which nobody but the voter's key can change. Empty for a text that
// is not a validly signed message.
std::string submissionOf(const toolkit::SignedDataOpening& opening);
std::string submissionOf(std::string_view voteBase64);

// The receipt a voter keeps of a vote as posted: the SHA-256 digest of the
// signed vote (the Base64 decoded), in base64url without padding, 43
// characters. Empty for a text that is not Base64.
std::string receiptOf(std::string_view voteBase64);
// The same 32 bytes, as the bulletin board's leaves hold them.
toolkit::Bytes receiptDigest(std::string_view voteBase64);

}  // namespace ardenax::server
