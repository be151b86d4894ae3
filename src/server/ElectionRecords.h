#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crypto/toolkit/Certificate.h"

namespace ardenax::server {

// The records of an election database. Texts are UTF-8.

// A ballot card: its name (the vote names it "BOT_" + name), its number of
// choice slots, and the candidates a voting page offers for them.
struct BallotCard {
    std::string name;
    int slots = 0;
    std::vector<std::string> candidates{};

    bool operator==(const BallotCard&) const = default;
};

// A voter and the credentials that identify them: the form pairs
// utilizador=<login> and senha=<password>, exactly these two.
struct Voter {
    std::string login;
    std::string password;
    std::string displayName;

    // The credentials a voting page passes to obtainToken for this voter.
    std::string credentials() const { return "utilizador=" + login + "###senha=" + password; }

    bool operator==(const Voter&) const = default;
};

// What a new election database is made from.
struct ElectionSetup {
    std::string id;
    std::string potency;
    std::vector<BallotCard> cards;
    std::vector<Voter> voters;
};

// The election as the servers use it. Its identity is the certificate votes
// are encrypted for, private key attached.
struct Election {
    std::string id;
    std::string potency;
    std::vector<BallotCard> cards;
    std::shared_ptr<const toolkit::Certificate> identity;
};

struct IssuedToken {
    std::string token;
    std::string login;
    // The voter's certificate, Base64 of its DER encoding.
    std::string certificate;
    std::string issuedAt;
};

// One vote as received by the SMV, whatever its verdict.
struct BallotBoxEntry {
    std::int64_t id = 0;
    std::string token;
    // Empty when the token was unknown.
    std::string login;
    std::string pinHash;
    // The signed vote, as posted.
    std::string vote;
    // What identifies the vote however it was encoded (see submissionOf);
    // empty when it is not a validly signed message.
    std::string submission;
    // The opened document (UTF-8), empty when it could not be opened.
    std::string xml;
    // "OK" or the refusal sent back.
    std::string verdict;
    // Whether this is the voter's vote that counts: their latest valid one.
    bool counts = false;
    std::string receivedAt;
};

}  // namespace ardenax::server
