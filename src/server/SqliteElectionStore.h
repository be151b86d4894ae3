#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/ElectionStore.h"
#include "server/SqliteConnection.h"

namespace ardenax::server {

// The election's store in one SQLite file (WAL mode, mode 0600: it holds the
// voters' password hashes and the tokens of their logins), for one machine:
// several processes may share it. It holds the election's certificate, never
// its private key: that is written to a file of its own when the election is
// made.
class SqliteElectionStore final : public ElectionStore {
public:
    // Makes the election of `setup`: its key pair and certificate, the key in
    // `keyFile` (mode 0600: the certificate in PEM, then the key in PKCS #8,
    // encrypted when `passphrase` is given; see readElectionKey), and `file`
    // with everything else. Neither file may exist. Raises a
    // failure for a setup that is not sound (requireSound), leaving neither.
    static void create(const std::filesystem::path& file, const ElectionSetup& setup,
                       const std::filesystem::path& keyFile, std::string_view passphrase = {});
    // The demo election: cards of 1, 3 and 2 slots and four voters, whose
    // passwords are printed for all to see (so their hashes are cheap).
    static ElectionSetup demoSetup();
    // Makes the demo election in `file`, its key beside it (keyFileOf).
    static void createDemo(const std::filesystem::path& file);
    // Where an election's key is kept beside its database: "name.db" -> "name-key.pem".
    static std::filesystem::path keyFileOf(const std::filesystem::path& file);

    // Opens a database made by `create`, bringing one of an earlier schema
    // up to date in one transaction: its votes' submissions, its voters'
    // passwords hashed, and its election key moved out to keyFileOf(file).
    explicit SqliteElectionStore(const std::filesystem::path& file);

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
    std::optional<std::string> latestTokenLocked(const std::string& login);
    std::optional<std::string> replayRefusal(const BallotBoxEntry& entry);

    std::mutex mutex_;
    SqliteConnection connection_;
    Election election_;
};

}  // namespace ardenax::server
