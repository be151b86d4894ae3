#include "server/PostgresElectionStore.h"

#include <chrono>

#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/PasswordHash.h"
#include "crypto/toolkit/Random.h"
#include "server/ElectionKey.h"
#include "server/ElectionSetupCheck.h"
#include "server/SealedVote.h"
#include "server/Transaction.h"
#include "support/Failure.h"

namespace ardenax::server {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t SchemaVersion = 1;
constexpr std::size_t TokenBytes = 16;
// How long one call may take, waiting for the connection and for the
// database (a restart of a second or two is ridden out): a vote's request
// makes two, which end well within the time its connection is given, so that
// nothing is stored after its voter was told it failed.
constexpr std::chrono::seconds CallBudget{4};
// The key of the advisory lock that stores one vote at a time in the
// database (advisory locks are the database's own, not the server's).
constexpr std::string_view StoringLock = "SELECT pg_advisory_xact_lock(6365417321)";

// The tables of the SQLite store, times kept in its form too: UTC, to the
// millisecond, as the text "YYYY-MM-DDTHH:MM:SS.mmmZ".
constexpr std::string_view Schema = R"sql(
CREATE TABLE schema_version (
    singleton INTEGER PRIMARY KEY CHECK (singleton = 1),
    version INTEGER NOT NULL
);
CREATE TABLE election (
    singleton INTEGER PRIMARY KEY CHECK (singleton = 1),
    id TEXT NOT NULL,
    potency TEXT NOT NULL,
    certificate TEXT NOT NULL
);
CREATE TABLE ballot_card (
    position INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE,
    slots INTEGER NOT NULL CHECK (slots BETWEEN 1 AND 32767)
);
CREATE TABLE candidate (
    card INTEGER NOT NULL REFERENCES ballot_card (position),
    position INTEGER NOT NULL,
    name TEXT NOT NULL,
    PRIMARY KEY (card, position)
);
CREATE TABLE voter (
    login TEXT PRIMARY KEY,
    password_hash TEXT NOT NULL,
    display_name TEXT NOT NULL
);
CREATE TABLE token (
    serial BIGINT GENERATED ALWAYS AS IDENTITY UNIQUE,
    token TEXT PRIMARY KEY,
    login TEXT NOT NULL REFERENCES voter (login),
    certificate TEXT NOT NULL,
    issued_at TEXT NOT NULL
        DEFAULT to_char(clock_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"')
);
CREATE INDEX token_login ON token (login, serial);
CREATE TABLE ballot_box (
    id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    token TEXT NOT NULL,
    login TEXT REFERENCES voter (login),
    pin_hash TEXT NOT NULL,
    vote TEXT NOT NULL,
    submission TEXT,
    verdict TEXT NOT NULL,
    counts INTEGER NOT NULL CHECK (counts IN (0, 1)),
    received_at TEXT NOT NULL
        DEFAULT to_char(clock_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"')
);
-- One counting vote per voter, whatever token they used.
CREATE UNIQUE INDEX ballot_box_counting ON ballot_box (login) WHERE counts = 1;
CREATE INDEX ballot_box_submission ON ballot_box (submission);
CREATE TABLE board_leaf (
    position BIGINT PRIMARY KEY,
    receipt TEXT NOT NULL UNIQUE,
    added_at TEXT NOT NULL
);
CREATE TABLE board_node (
    level INTEGER NOT NULL,
    position BIGINT NOT NULL,
    hash TEXT NOT NULL,
    PRIMARY KEY (level, position)
);
INSERT INTO schema_version (singleton, version) VALUES (1, 1);
)sql";

// Whatever the database's default: the storing lock relies on each statement
// seeing what was committed before it.
constexpr std::string_view Begin = "BEGIN ISOLATION LEVEL READ COMMITTED";

// A text, or NULL for the empty text.
PgValue orNull(const std::string& text) {
    return text.empty() ? PgValue() : PgValue(text);
}

std::string number(std::int64_t value) {
    return std::to_string(value);
}

// The number of leaves, from the last one's position: count(*) would read
// every leaf.
std::uint64_t boardSizeIn(PgConnection& connection) {
    return static_cast<std::uint64_t>(
        connection.run("SELECT coalesce(max(position) + 1, 0) FROM board_leaf").integer(0, 0));
}

merkle::Hash readNode(PgConnection& connection, int level, std::uint64_t position) {
    const auto row =
        connection.run("SELECT hash FROM board_node WHERE level = $1 AND position = $2",
                       {number(level), number(static_cast<std::int64_t>(position))});
    if (row.rows() == 0) {
        throw Failure(Failure::E_Fail, u"The board misses a node", u"ElectionStore");
    }
    return toolkit::fromHex(row.text(0, 0));
}

// Adds the receipt of an accepted vote to the board, with the nodes of the
// tree it completes, in the caller's transaction.
void appendToBoard(PgConnection& connection, const std::string& vote, const std::string& addedAt) {
    const auto index = boardSizeIn(connection);
    const toolkit::Bytes receipt = receiptDigest(vote);
    connection.run(
        "INSERT INTO board_leaf (position, receipt, added_at) VALUES ($1, $2, $3)",
        {number(static_cast<std::int64_t>(index)), toolkit::base64UrlEncode(receipt), addedAt});
    const auto nodes = BoardTree::nodesOfLeaf(index, merkle::leafHash(receipt),
                                              [&connection](int level, std::uint64_t position) {
                                                  return readNode(connection, level, position);
                                              });
    for (const auto& [level, hash] : nodes) {
        connection.run("INSERT INTO board_node (level, position, hash) VALUES ($1, $2, $3)",
                       {number(level),
                        number(static_cast<std::int64_t>(index >> static_cast<unsigned>(level))),
                        toolkit::toHex(hash)});
    }
}

void fillCards(PgConnection& connection, const std::vector<BallotCard>& cards) {
    std::int64_t position = 0;
    for (const auto& card : cards) {
        connection.run("INSERT INTO ballot_card (position, name, slots) VALUES ($1, $2, $3)",
                       {number(position), card.name, number(card.slots)});
        std::int64_t order = 0;
        for (const auto& candidate : card.candidates) {
            connection.run("INSERT INTO candidate (card, position, name) VALUES ($1, $2, $3)",
                           {number(position), number(order++), candidate});
        }
        ++position;
    }
}

void fill(PgConnection& connection, const ElectionSetup& setup,
          const toolkit::Certificate& certificate) {
    Transaction transaction(connection, Begin);
    connection.execute(Schema);
    connection.run(
        "INSERT INTO election (singleton, id, potency, certificate) VALUES (1, $1, $2, $3)",
        {setup.id, setup.potency, certificate.exportBase64()});
    fillCards(connection, setup.cards);
    for (const auto& voter : setup.voters) {
        connection.run(
            "INSERT INTO voter (login, password_hash, display_name) VALUES ($1, $2, $3)",
            {voter.login, toolkit::PasswordHash::make(voter.password, setup.passwordIterations),
             voter.displayName});
    }
    transaction.commit();
}

// The database's schema version; 0 for a database without one.
std::int64_t schemaVersionOf(PgConnection& connection) {
    if (connection.run("SELECT to_regclass('schema_version')").text(0, 0).empty()) {
        return 0;
    }
    const auto version = connection.run("SELECT version FROM schema_version");
    return version.rows() == 1 ? version.integer(0, 0) : 0;
}

std::vector<BallotCard> readCards(PgConnection& connection) {
    std::vector<BallotCard> cards;
    const auto rows =
        connection.run("SELECT position, name, slots FROM ballot_card ORDER BY position");
    for (int row = 0; row < rows.rows(); ++row) {
        BallotCard card{rows.text(row, 1), static_cast<int>(rows.integer(row, 2))};
        const auto candidates = connection.run(
            "SELECT name FROM candidate WHERE card = $1 ORDER BY position", {rows.text(row, 0)});
        for (int candidate = 0; candidate < candidates.rows(); ++candidate) {
            card.candidates.push_back(candidates.text(candidate, 0));
        }
        cards.push_back(std::move(card));
    }
    return cards;
}

constexpr std::string_view EntryColumns =
    "id, token, coalesce(login, ''), pin_hash, vote, coalesce(submission, ''), verdict, counts, "
    "received_at";

BallotBoxEntry readEntry(const PgResult& rows, int row) {
    return {rows.integer(row, 0), rows.text(row, 1),         rows.text(row, 2),
            rows.text(row, 3),    rows.text(row, 4),         rows.text(row, 5),
            rows.text(row, 6),    rows.integer(row, 7) == 1, rows.text(row, 8)};
}

}  // namespace

void PostgresElectionStore::create(const std::string& conninfo, const ElectionSetup& setup,
                                   const fs::path& keyFile, std::string_view passphrase) {
    requireSound(setup);
    PgConnection connection(conninfo);
    if (!connection.run("SELECT to_regclass('election')").text(0, 0).empty()) {
        // It may hold an election.
        throw Failure(
            Failure::E_Fail,
            u"Will not make an election over the database " + fromUtf8(connection.databaseName()),
            u"ElectionStore");
    }
    const auto certificate = makeElectionKey(setup.id, keyFile, passphrase);
    try {
        fill(connection, setup, certificate);
    } catch (const Failure&) {
        std::error_code ignored;
        fs::remove(keyFile, ignored);
        throw;
    }
}

PostgresElectionStore::PostgresElectionStore(const std::string& conninfo) : connection_(conninfo) {
    const auto notAnElection = [this] {
        return Failure(Failure::E_Fail,
                       u"Not an election database: " + fromUtf8(connection_.databaseName()),
                       u"ElectionStore");
    };
    if (schemaVersionOf(connection_) != SchemaVersion) {
        throw notAnElection();
    }
    const auto election = connection_.run("SELECT id, potency, certificate FROM election");
    if (election.rows() != 1) {
        throw notAnElection();
    }
    election_.id = election.text(0, 0);
    election_.potency = election.text(0, 1);
    election_.certificate = std::make_shared<const toolkit::Certificate>(
        toolkit::Certificate::import(election.text(0, 2)));
    election_.cards = readCards(connection_);
}

Failure PostgresElectionStore::tookTooLong() {
    return {Failure::E_Fail, u"The database took too long to answer", u"PostgreSQL"};
}

template <class Work, class Recovery>
auto PostgresElectionStore::retried(Work work, Recovery recover) {
    const auto deadline = Clock::now() + CallBudget;
    const std::unique_lock lock(mutex_, deadline);
    if (!lock.owns_lock()) {
        throw tookTooLong();
    }
    deadline_ = deadline;
    try {
        return work();
    } catch (const Failure&) {
        if (!connection_.broken()) {
            throw;
        }
    }
    connection_.reconnect(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
    return recover();
}

template <class Work>
auto PostgresElectionStore::retried(Work work) {
    return retried(work, work);
}

std::optional<VoterRecord> PostgresElectionStore::findVoter(const std::string& login) {
    return retried([&]() -> std::optional<VoterRecord> {
        const auto row = connection_.run(
            "SELECT login, password_hash, display_name FROM voter WHERE login = $1", {login});
        if (row.rows() == 0) {
            return std::nullopt;
        }
        return VoterRecord{row.text(0, 0), row.text(0, 1), row.text(0, 2)};
    });
}

std::string PostgresElectionStore::issueToken(const std::string& login,
                                              const std::string& certificateBase64) {
    std::string token = toolkit::toHex(toolkit::randomBytes(TokenBytes));
    const auto insert = [&](std::string_view ifThere) {
        connection_.run("INSERT INTO token (token, login, certificate) VALUES ($1, $2, $3)" +
                            std::string(ifThere),
                        {token, login, certificateBase64});
        return token;
    };
    // The insert may have been committed before the connection went, or be
    // committing still: a random token can meet no other.
    return retried([&] { return insert(""); }, [&] { return insert(" ON CONFLICT DO NOTHING"); });
}

std::optional<IssuedToken> PostgresElectionStore::findToken(const std::string& token) {
    return retried([&]() -> std::optional<IssuedToken> {
        const auto row = connection_.run(
            "SELECT token, login, certificate, issued_at FROM token WHERE token = $1", {token});
        if (row.rows() == 0) {
            return std::nullopt;
        }
        return IssuedToken{row.text(0, 0), row.text(0, 1), row.text(0, 2), row.text(0, 3)};
    });
}

std::optional<std::string> PostgresElectionStore::latestToken(const std::string& login) {
    return retried([&] { return latestTokenOf(login); });
}

std::optional<std::string> PostgresElectionStore::latestTokenOf(const std::string& login) {
    const auto latest = connection_.run(
        "SELECT token FROM token WHERE login = $1 ORDER BY serial DESC LIMIT 1", {login});
    if (latest.rows() == 0) {
        return std::nullopt;
    }
    return latest.text(0, 0);
}

BallotBoxEntry PostgresElectionStore::storeVote(BallotBoxEntry entry) {
    entry.id = 0;
    const BallotBoxEntry received = entry;
    return retried(
        [&] {
            storeOnce(entry, nullptr);
            return entry;
        },
        [&] {
            const BallotBoxEntry tried = entry;
            entry = received;
            storeOnce(entry, &tried);
            return entry;
        });
}

void PostgresElectionStore::storeOnce(BallotBoxEntry& entry, const BallotBoxEntry* tried) {
    Transaction transaction(connection_, Begin);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    if (left <= 0) {
        throw tookTooLong();
    }
    connection_.execute("SET LOCAL lock_timeout = " + std::to_string(left));
    // One vote stored at a time, whichever server stores it: the checks see
    // every vote stored before, and the board grows in one order. Readers,
    // and the database's own upkeep of the table, are not held up.
    connection_.execute(StoringLock);
    // Storing a vote again blindly, after the connection went, could store
    // it twice or refuse it as its own replay: under the lock, the earlier
    // transaction has ended, and the row its insert made, holding this vote
    // (after a crash or a failover the id of an insert never committed may go
    // to another), tells whether it was committed.
    if (tried != nullptr && tried->id != 0 &&
        connection_
                .run("SELECT 1 FROM ballot_box WHERE id = $1 AND vote = $2",
                     {number(tried->id), tried->vote})
                .rows() == 1) {
        entry = *tried;
        return;
    }
    if (entry.counts) {
        if (const auto refusal = replayRefusal(entry)) {
            entry.verdict = *refusal;
            entry.counts = false;
        }
    }
    if (entry.counts) {
        connection_.run("UPDATE ballot_box SET counts = 0 WHERE login = $1 AND counts = 1",
                        {entry.login});
    }
    const auto stored = connection_.run(
        "INSERT INTO ballot_box (token, login, pin_hash, vote, submission, verdict, counts) "
        "VALUES ($1, $2, $3, $4, $5, $6, $7) RETURNING id, received_at",
        {entry.token, orNull(entry.login), entry.pinHash, entry.vote, orNull(entry.submission),
         entry.verdict, std::string(entry.counts ? "1" : "0")});
    entry.id = stored.integer(0, 0);
    entry.receivedAt = stored.text(0, 1);
    if (entry.verdict == "OK") {
        appendToBoard(connection_, entry.vote, entry.receivedAt);
    }
    // Too late, its voter's request may have been cut off and the voter
    // voted again: this vote must not become the later one.
    if (Clock::now() >= deadline_) {
        throw tookTooLong();
    }
    transaction.commit();
}

// A captured vote posted again, in any encoding, or a vote made with a token
// the voter has since replaced, must not become the counting vote again.
std::optional<std::string> PostgresElectionStore::replayRefusal(const BallotBoxEntry& entry) {
    // Only an accepted copy counts: a vote first refused for its form (a bad
    // PIN hash, say) may still arrive in a sound one.
    if (connection_
            .run("SELECT 1 FROM ballot_box WHERE submission = $1 AND verdict = 'OK'",
                 {entry.submission})
            .rows() != 0) {
        return std::string(Replayed);
    }
    if (latestTokenOf(entry.login) != entry.token) {
        return std::string(Superseded);
    }
    return std::nullopt;
}

std::optional<BallotBoxEntry> PostgresElectionStore::findSubmission(const std::string& submission) {
    return retried([&]() -> std::optional<BallotBoxEntry> {
        const auto row = connection_.run(
            "SELECT " + std::string(EntryColumns) +
                " FROM ballot_box WHERE submission = $1 AND verdict = 'OK' ORDER BY id LIMIT 1",
            {submission});
        if (row.rows() == 0) {
            return std::nullopt;
        }
        return readEntry(row, 0);
    });
}

std::vector<BallotBoxEntry> PostgresElectionStore::votes() {
    return retried([&] {
        const auto rows =
            connection_.run("SELECT " + std::string(EntryColumns) + " FROM ballot_box ORDER BY id");
        std::vector<BallotBoxEntry> entries;
        entries.reserve(static_cast<std::size_t>(rows.rows()));
        for (int row = 0; row < rows.rows(); ++row) {
            entries.push_back(readEntry(rows, row));
        }
        return entries;
    });
}

std::uint64_t PostgresElectionStore::boardSize() {
    return retried([&] { return boardSizeIn(connection_); });
}

std::vector<ElectionStore::BoardLeaf> PostgresElectionStore::boardLeaves(std::uint64_t start,
                                                                         std::uint64_t end) {
    return retried([&] {
        const auto rows = connection_.run(
            "SELECT position, receipt, added_at FROM board_leaf "
            "WHERE position >= $1 AND position < $2 ORDER BY position",
            {number(static_cast<std::int64_t>(start)), number(static_cast<std::int64_t>(end))});
        std::vector<BoardLeaf> leaves;
        leaves.reserve(static_cast<std::size_t>(rows.rows()));
        for (int row = 0; row < rows.rows(); ++row) {
            leaves.push_back({static_cast<std::uint64_t>(rows.integer(row, 0)), rows.text(row, 1),
                              rows.text(row, 2)});
        }
        return leaves;
    });
}

std::optional<std::uint64_t> PostgresElectionStore::boardIndexOf(const std::string& receipt) {
    return retried([&]() -> std::optional<std::uint64_t> {
        const auto row =
            connection_.run("SELECT position FROM board_leaf WHERE receipt = $1", {receipt});
        if (row.rows() == 0) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(row.integer(0, 0));
    });
}

merkle::Hash PostgresElectionStore::boardNode(int level, std::uint64_t position) {
    return retried([&] { return readNode(connection_, level, position); });
}

}  // namespace ardenax::server
