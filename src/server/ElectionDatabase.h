#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/ElectionRecords.h"
#include "server/FormField.h"
#include "server/SqliteConnection.h"

namespace ardenax::server {

// The election, its voters, the tokens issued and the ballot box, in one
// SQLite file (WAL mode, mode 0600: it holds the election's private key).
// Safe to use from several threads: one connection, one lock.
class ElectionDatabase {
public:
    // Creates `file`, which must not exist, with the election of `setup` and
    // a new election certificate and key. Raises a failure for a setup whose
    // names would break the answers or the vote (see validation in the source),
    // leaving no file behind.
    static void create(const std::filesystem::path& file, const ElectionSetup& setup);
    // The demo election: cards of 1, 3 and 2 slots and four voters.
    static ElectionSetup demoSetup();
    static void createDemo(const std::filesystem::path& file);

    // Opens a database made by `create`, bringing one of an earlier schema
    // up to date.
    explicit ElectionDatabase(const std::filesystem::path& file);
    ElectionDatabase(const ElectionDatabase&) = delete;
    ElectionDatabase& operator=(const ElectionDatabase&) = delete;

    // Fixed once created, so read without the lock.
    const Election& election() const { return election_; }

    // The voter whose credentials are exactly these pairs, in any order.
    std::optional<Voter> authenticate(const std::vector<FormField>& credentials);
    // A fresh random token bound to the voter and their certificate.
    std::string issueToken(const std::string& login, const std::string& certificateBase64);
    std::optional<IssuedToken> findToken(const std::string& token);
    // Stores a received vote and returns it as stored, with its row id. A
    // vote that counts becomes its voter's counting vote (the one it replaces
    // stays stored), unless the same vote was accepted before or its token is
    // not the latest issued to its voter: it is then stored refused, with the
    // refusal as its verdict.
    BallotBoxEntry storeVote(BallotBoxEntry entry);

    std::vector<IssuedToken> issuedTokens();
    // Every received vote, oldest first; at most one per voter counts.
    std::vector<BallotBoxEntry> ballotBox();

private:
    std::optional<std::string> replayRefusal(const BallotBoxEntry& entry);

    std::mutex mutex_;
    SqliteConnection connection_;
    Election election_;
};

}  // namespace ardenax::server
