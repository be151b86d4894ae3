#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crypto/toolkit/Certificate.h"
#include "crypto/toolkit/PasswordHash.h"

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

// A voter and the credentials that identify them, as an election is made
// from them: the form pairs utilizador=<login> and senha=<password>, exactly
// these two. The password is kept only as a salted hash.
struct Voter {
    std::string login;
    std::string password;
    std::string displayName;

    // The credentials a voting page passes to obtainToken for this voter.
    std::string credentials() const { return "utilizador=" + login + "###senha=" + password; }

    bool operator==(const Voter&) const = default;
};

// A voter as the store keeps them.
struct VoterRecord {
    std::string login;
    // toolkit::PasswordHash's form.
    std::string passwordHash;
    std::string displayName;
};

// What a new election is made from.
struct ElectionSetup {
    std::string id;
    std::string potency;
    std::vector<BallotCard> cards;
    std::vector<Voter> voters;
    // The cost of each voter's password hash (toolkit::PasswordHash).
    unsigned passwordIterations = toolkit::PasswordHash::StrongIterations;
};

// The election as the servers use it. Its certificate is the one votes are
// enveloped for; its private key is kept apart, by the election's holders,
// and never given to a server.
struct Election {
    std::string id;
    std::string potency;
    std::vector<BallotCard> cards;
    std::shared_ptr<const toolkit::Certificate> certificate;
};

struct IssuedToken {
    std::string token;
    std::string login;
    // The voter's certificate, Base64 of its DER encoding.
    std::string certificate;
    std::string issuedAt;
};

// One vote as received by the SMV, whatever its verdict, sealed as it came.
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
    // "OK" or the refusal sent back.
    std::string verdict;
    // Whether this is the voter's vote that counts: their latest accepted one.
    bool counts = false;
    std::string receivedAt;
};

}  // namespace ardenax::server
