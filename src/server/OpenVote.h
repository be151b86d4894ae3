#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/toolkit/Certificate.h"
#include "server/ElectionRecords.h"

namespace ardenax::server {

// What a vote must match beyond being well made. Each check is skipped when
// its expectation is absent (an auditor may have only the election key).
struct VoteExpectations {
    // The certificate that must have signed, Base64 of its DER encoding.
    std::optional<std::string> signerCertificate;
    // The election's cards: every card of the vote must be one of them, with
    // exactly its slot count of choices, each blank or one of its candidates
    // (a card that lists none takes any text). A card may be absent.
    std::optional<std::vector<BallotCard>> ballot;
    std::optional<std::string> potency;
};

// One card of the vote: its id as written ("BOT_" + card name) and its choices.
struct OpenedCard {
    std::string id;
    std::vector<std::string> choices;

    bool operator==(const OpenedCard&) const = default;
};

// As much of a vote as could be opened, and why it was refused if it was.
// Texts are UTF-8.
struct OpenedVote {
    // Empty when the vote is accepted; else the answer to send, "ERROR ...".
    std::string refusal;
    // Known once the signature verified: what identifies the submission
    // (see submissionOf) and who signed it.
    std::string submission;
    std::string signerSubject;
    std::string signerThumbprint;
    std::string signerCertificate;
    // The document, known once the envelope opened.
    std::string xml;
    // Known once the document was parsed.
    std::string version;
    std::vector<OpenedCard> cards;
    std::string random;
    std::string potency;

    bool accepted() const { return refusal.empty(); }
};

// Reads an opened vote document (ISO-8859-1 bytes, read as Windows-1252, the
// client's code page) into `vote`: its xml, version, cards, random value and
// potency. Gives the refusal, or "" when the document has the vote's shape.
std::string_view readVoteDocument(std::string_view content, OpenedVote& vote);

// Opens an envelope (DER) with the election's private key and reads the vote
// document it holds, checking it against `expected`. Never raises for
// anything the envelope holds: a bad one is a refusal.
OpenedVote openEnvelope(std::string_view envelope, const toolkit::Certificate& election,
                        const VoteExpectations& expected = {});

// Verifies, opens and parses a vote as posted (see checkSealedVote), which
// holds the vote document in ISO-8859-1 (read as Windows-1252, the client's
// code page). `election` carries the private key. Never raises for anything
// the vote holds: a bad vote is a refusal.
OpenedVote openVote(std::string_view voteBase64, const toolkit::Certificate& election,
                    const VoteExpectations& expected = {});

}  // namespace ardenax::server
