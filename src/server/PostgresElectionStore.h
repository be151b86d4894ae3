#pragma once

#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/ElectionStore.h"
#include "server/PgConnection.h"
#include "support/Failure.h"

namespace ardenax::server {

// The election's store in a PostgreSQL database, which vote servers on
// several machines may share: storing a vote locks the ballot box in the
// database, so that the board has one order whichever server stores. It
// holds the election's certificate, never its private key. A connection the
// server dropped (a restart, a failover) is made anew, waiting a few seconds
// for a server to take it, and the operation tried once more where that
// cannot do it twice.
class PostgresElectionStore final : public ElectionStore {
public:
    // Makes the election of `setup` in the database `conninfo` names (a
    // postgresql:// URI), which must hold none, and its key in `keyFile` as
    // SqliteElectionStore::create does. Raises a failure for a setup that is
    // not sound (requireSound), leaving neither.
    static void create(const std::string& conninfo, const ElectionSetup& setup,
                       const std::filesystem::path& keyFile, std::string_view passphrase = {});

    // Opens a database made by `create`.
    explicit PostgresElectionStore(const std::string& conninfo);

    const Election& election() const override { return election_; }
    std::optional<VoterRecord> findVoter(const std::string& login) override;
    std::string issueToken(const std::string& login, const std::string& certificateBase64) override;
    std::optional<IssuedToken> findToken(const std::string& token) override;
    std::optional<std::string> latestToken(const std::string& login) override;
    BallotBoxEntry storeVote(BallotBoxEntry entry) override;
    std::optional<BallotBoxEntry> findSubmission(const std::string& submission) override;
    std::vector<BallotBoxEntry> votes() override;
    std::uint64_t boardSize() override;
    std::vector<BoardLeaf> boardLeaves(std::uint64_t start, std::uint64_t end) override;
    std::optional<std::uint64_t> boardIndexOf(const std::string& receipt) override;
    merkle::Hash boardNode(int level, std::uint64_t position) override;

private:
    // Runs `work`, which reads or writes in one statement or one
    // transaction; when the server dropped the connection, runs `recover` on
    // a new one (`work` again, where running it twice cannot do it twice).
    // The whole call, waiting for the store and the database included, ends
    // within a few seconds, or fails.
    template <class Work, class Recovery>
    auto retried(Work work, Recovery recover);
    template <class Work>
    auto retried(Work work);
    static Failure tookTooLong();
    // Stores `entry` in one transaction, unless `tried`, an attempt whose
    // connection went, was committed: then `entry` becomes it.
    void storeOnce(BallotBoxEntry& entry, const BallotBoxEntry* tried);
    std::optional<std::string> replayRefusal(const BallotBoxEntry& entry);
    std::optional<std::string> latestTokenOf(const std::string& login);

    using Clock = std::chrono::steady_clock;

    // One connection, used by one call at a time.
    std::timed_mutex mutex_;
    // When the call that holds mutex_ must have ended.
    Clock::time_point deadline_;
    PgConnection connection_;
    Election election_;
};

}  // namespace ardenax::server
