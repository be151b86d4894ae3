#include "server/SqliteElectionStore.h"

#include <array>
#include <optional>

#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/PasswordHash.h"
#include "crypto/toolkit/Pki.h"
#include "crypto/toolkit/Random.h"
#include "server/ElectionKey.h"
#include "server/ElectionSetupCheck.h"
#include "server/SealedVote.h"
#include "server/Transaction.h"
#include "support/Failure.h"

namespace ardenax::server {
namespace {

namespace fs = std::filesystem;

constexpr int SchemaVersion = 5;
constexpr std::size_t TokenBytes = 16;
// The demo's passwords are printed for all to see: a costly hash protects
// nothing there, and would slow every demo and test down.
constexpr unsigned DemoPasswordIterations = 1000;

constexpr std::string_view Schema = R"sql(
CREATE TABLE election (
    singleton INTEGER PRIMARY KEY CHECK (singleton = 1),
    id TEXT NOT NULL,
    potency TEXT NOT NULL,
    identity TEXT NOT NULL
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
    password TEXT NOT NULL,
    display_name TEXT NOT NULL
);
CREATE TABLE token (
    token TEXT PRIMARY KEY,
    login TEXT NOT NULL REFERENCES voter (login),
    certificate TEXT NOT NULL,
    issued_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now'))
);
CREATE TABLE ballot_box (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    token TEXT NOT NULL,
    login TEXT REFERENCES voter (login),
    pin_hash TEXT NOT NULL,
    vote TEXT NOT NULL,
    xml TEXT NOT NULL,
    verdict TEXT NOT NULL,
    counts INTEGER NOT NULL CHECK (counts IN (0, 1)),
    received_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now'))
);
-- One counting vote per voter, whatever token they used.
CREATE UNIQUE INDEX ballot_box_counting ON ballot_box (login) WHERE counts = 1;
PRAGMA user_version = 1;
)sql";

// Each version's changes, applied in turn to older files on opening. Version
// 2 recognised replays by the digest of the posted text; version 3 by the
// submission (see submissionOf), which every encoding of one vote shares;
// version 4 keeps no opened vote, no password and no election key; version 5
// adds the bulletin board.
constexpr std::array<std::string_view, 4> SchemaUpgrades = {R"sql(
ALTER TABLE ballot_box ADD COLUMN vote_digest TEXT;
CREATE INDEX ballot_box_vote_digest ON ballot_box (vote_digest);
CREATE INDEX token_login ON token (login);
PRAGMA user_version = 2;
)sql",
                                                            R"sql(
DROP INDEX ballot_box_vote_digest;
ALTER TABLE ballot_box DROP COLUMN vote_digest;
ALTER TABLE ballot_box ADD COLUMN submission TEXT;
CREATE INDEX ballot_box_submission ON ballot_box (submission);
PRAGMA user_version = 3;
)sql",
                                                            R"sql(
ALTER TABLE election RENAME COLUMN identity TO certificate;
ALTER TABLE voter RENAME COLUMN password TO password_hash;
ALTER TABLE ballot_box DROP COLUMN xml;
PRAGMA user_version = 4;
)sql",
                                                            R"sql(
CREATE TABLE board_leaf (
    position INTEGER PRIMARY KEY,
    receipt TEXT NOT NULL UNIQUE,
    added_at TEXT NOT NULL
);
CREATE TABLE board_node (
    level INTEGER NOT NULL,
    position INTEGER NOT NULL,
    hash TEXT NOT NULL,
    PRIMARY KEY (level, position)
) WITHOUT ROWID;
PRAGMA user_version = 5;
)sql"};

// A text, or NULL for the empty text.
void bindOrNull(SqliteStatement& statement, int index, const std::string& text) {
    if (text.empty()) {
        statement.bindNull(index);
    } else {
        statement.bind(index, text);
    }
}

// Takes the file's write lock at once, so that a transaction that reads
// before it writes is never refused midway.
constexpr std::string_view Begin = "BEGIN IMMEDIATE";

// The number of leaves, from the last one's position: count(*) would read
// every leaf.
std::uint64_t boardSizeIn(SqliteConnection& connection) {
    auto last = connection.prepare("SELECT coalesce(max(position) + 1, 0) FROM board_leaf");
    last.step();
    return static_cast<std::uint64_t>(last.integer(0));
}

merkle::Hash readNode(SqliteConnection& connection, int level, std::uint64_t position) {
    auto row = connection.prepare("SELECT hash FROM board_node WHERE level = ? AND position = ?");
    row.bind(1, std::int64_t{level}).bind(2, static_cast<std::int64_t>(position));
    if (!row.step()) {
        throw Failure(Failure::E_Fail, u"The board misses a node", u"ElectionStore");
    }
    return toolkit::fromHex(row.text(0));
}

// Adds the receipt of an accepted vote to the board, with the nodes of the
// tree it completes, in the caller's transaction.
void appendToBoard(SqliteConnection& connection, const std::string& vote,
                   const std::string& addedAt) {
    const auto index = boardSizeIn(connection);
    const toolkit::Bytes receipt = receiptDigest(vote);
    connection.prepare("INSERT INTO board_leaf (position, receipt, added_at) VALUES (?, ?, ?)")
        .bind(1, static_cast<std::int64_t>(index))
        .bind(2, toolkit::base64UrlEncode(receipt))
        .bind(3, addedAt)
        .run();
    const auto nodes = BoardTree::nodesOfLeaf(index, merkle::leafHash(receipt),
                                              [&connection](int level, std::uint64_t position) {
                                                  return readNode(connection, level, position);
                                              });
    for (const auto& [level, hash] : nodes) {
        connection.prepare("INSERT INTO board_node (level, position, hash) VALUES (?, ?, ?)")
            .bind(1, std::int64_t{level})
            .bind(2, static_cast<std::int64_t>(index >> static_cast<unsigned>(level)))
            .bind(3, toolkit::toHex(hash))
            .run();
    }
}

// The board of a file made before it: every accepted vote, in the order stored.
void fillBoard(SqliteConnection& connection) {
    auto accepted = connection.prepare(
        "SELECT vote, received_at FROM ballot_box WHERE verdict = 'OK' ORDER BY id");
    while (accepted.step()) {
        appendToBoard(connection, accepted.text(0), accepted.text(1));
    }
}

void fill(SqliteConnection& connection, const ElectionSetup& setup,
          const toolkit::Certificate& certificate) {
    Transaction transaction(connection, Begin);
    connection.execute(Schema);
    for (const auto upgrade : SchemaUpgrades) {
        connection.execute(upgrade);
    }
    connection
        .prepare("INSERT INTO election (singleton, id, potency, certificate) VALUES (1, ?, ?, ?)")
        .bind(1, setup.id)
        .bind(2, setup.potency)
        .bind(3, certificate.exportBase64())
        .run();
    std::int64_t position = 0;
    for (const auto& card : setup.cards) {
        connection.prepare("INSERT INTO ballot_card (position, name, slots) VALUES (?, ?, ?)")
            .bind(1, position)
            .bind(2, card.name)
            .bind(3, std::int64_t{card.slots})
            .run();
        std::int64_t order = 0;
        for (const auto& candidate : card.candidates) {
            connection.prepare("INSERT INTO candidate (card, position, name) VALUES (?, ?, ?)")
                .bind(1, position)
                .bind(2, order++)
                .bind(3, candidate)
                .run();
        }
        ++position;
    }
    for (const auto& voter : setup.voters) {
        connection
            .prepare("INSERT INTO voter (login, password_hash, display_name) VALUES (?, ?, ?)")
            .bind(1, voter.login)
            .bind(2, toolkit::PasswordHash::make(voter.password, setup.passwordIterations))
            .bind(3, voter.displayName)
            .run();
    }
    transaction.commit();
}

// The stored votes' submissions, which version 3 added, where a vote lacks one.
void fillSubmissions(SqliteConnection& connection) {
    auto votes = connection.prepare("SELECT id, vote FROM ballot_box WHERE submission IS NULL");
    while (votes.step()) {
        auto update = connection.prepare("UPDATE ballot_box SET submission = ? WHERE id = ?");
        bindOrNull(update, 1, submissionOf(votes.text(1)));
        update.bind(2, votes.integer(0)).run();
    }
}

// What version 4 took out: the election key goes to a file of its own (in the
// clear, as it was in the database: its holders may encrypt it), the voters'
// passwords become hashes.
void moveSecretsOut(SqliteConnection& connection, const fs::path& keyFile) {
    auto election = connection.prepare("SELECT certificate FROM election");
    if (election.step()) {
        const auto identity = toolkit::Certificate::fromStorageForm(election.text(0));
        writeElectionKey(keyFile, toolkit::certificatePem(identity) + identity.privateKeyPem());
        connection.prepare("UPDATE election SET certificate = ?")
            .bind(1, identity.exportBase64())
            .run();
    }
    auto voters = connection.prepare("SELECT login, password_hash FROM voter");
    while (voters.step()) {
        connection.prepare("UPDATE voter SET password_hash = ? WHERE login = ?")
            .bind(1, toolkit::PasswordHash::make(voters.text(1)))
            .bind(2, voters.text(0))
            .run();
    }
}

void upgrade(SqliteConnection& connection, std::int64_t from, const fs::path& keyFile) {
    Transaction transaction(connection, Begin);
    for (auto version = from; version < SchemaVersion; ++version) {
        connection.execute(SchemaUpgrades.at(static_cast<std::size_t>(version - 1)));
    }
    fillSubmissions(connection);
    if (from < 4) {
        moveSecretsOut(connection, keyFile);
    }
    if (from < 5) {
        fillBoard(connection);
    }
    transaction.commit();
}

constexpr std::string_view EntryColumns =
    "id, token, coalesce(login, ''), pin_hash, vote, coalesce(submission, ''), verdict, counts, "
    "received_at";

BallotBoxEntry readEntry(const SqliteStatement& row) {
    return {row.integer(0), row.text(1), row.text(2),         row.text(3), row.text(4),
            row.text(5),    row.text(6), row.integer(7) == 1, row.text(8)};
}

}  // namespace

void SqliteElectionStore::create(const fs::path& file, const ElectionSetup& setup,
                                 const fs::path& keyFile, std::string_view passphrase) {
    requireSound(setup);
    std::error_code ignored;
    if (fs::exists(file, ignored)) {
        // It may hold an election.
        throw Failure(Failure::E_Fail, u"Will not make an election over " + file.u16string(),
                      u"ElectionStore");
    }
    const auto certificate = makeElectionKey(setup.id, keyFile, passphrase);
    try {
        std::optional<SqliteConnection> connection(std::in_place, file, true);
        fill(*connection, setup, certificate);
    } catch (const Failure&) {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            fs::remove(file.string() + suffix, ignored);
        }
        fs::remove(keyFile, ignored);
        throw;
    }
}

ElectionSetup SqliteElectionStore::demoSetup() {
    return {"ARDENAX-DEMO",
            "1",
            {{"Presidente", 1, {"Maria Pereira", "João Carvalho", "Rita Fonseca"}},
             {"Assembleia", 3, {"Lista A", "Lista B", "Lista C", "Lista D"}},
             {"Referendo", 1, {"Sim", "Não"}}},
            {{"eleitor1", "demo1", "Ana Sousa"},
             {"eleitor2", "demo2", "Bruno Martins"},
             {"eleitor3", "demo3", "Inês Moreira"},
             {"eleitor4", "demo4", "Duarte Lopes"}},
            DemoPasswordIterations};
}

void SqliteElectionStore::createDemo(const fs::path& file) {
    create(file, demoSetup(), keyFileOf(file));
}

fs::path SqliteElectionStore::keyFileOf(const fs::path& file) {
    fs::path key = file;
    key.replace_filename(file.stem().string() + "-key.pem");
    return key;
}

SqliteElectionStore::SqliteElectionStore(const fs::path& file) : connection_(file, false) {
    std::int64_t schema = 0;
    {
        auto version = connection_.prepare("PRAGMA user_version");
        schema = version.step() ? version.integer(0) : 0;
    }
    if (schema >= 1 && schema < SchemaVersion) {
        upgrade(connection_, schema, keyFileOf(file));
        // Rewrites the file whole, so that no page keeps what the upgrade
        // took out.
        connection_.execute("VACUUM");
        schema = SchemaVersion;
    }
    auto election = connection_.prepare("SELECT id, potency, certificate FROM election");
    if (schema != SchemaVersion || !election.step()) {
        throw Failure(Failure::E_Fail, u"Not an election database: " + fromUtf8(file.string()),
                      u"ElectionStore");
    }
    election_.id = election.text(0);
    election_.potency = election.text(1);
    election_.certificate = std::make_shared<const toolkit::Certificate>(
        toolkit::Certificate::import(election.text(2)));
    auto cards =
        connection_.prepare("SELECT position, name, slots FROM ballot_card ORDER BY position");
    while (cards.step()) {
        BallotCard card{cards.text(1), static_cast<int>(cards.integer(2))};
        auto candidates =
            connection_.prepare("SELECT name FROM candidate WHERE card = ? ORDER BY position");
        candidates.bind(1, cards.integer(0));
        while (candidates.step()) {
            card.candidates.push_back(candidates.text(0));
        }
        election_.cards.push_back(std::move(card));
    }
}

std::optional<VoterRecord> SqliteElectionStore::findVoter(const std::string& login) {
    const std::lock_guard lock(mutex_);
    auto voter =
        connection_.prepare("SELECT login, password_hash, display_name FROM voter WHERE login = ?");
    voter.bind(1, login);
    if (!voter.step()) {
        return std::nullopt;
    }
    return VoterRecord{voter.text(0), voter.text(1), voter.text(2)};
}

std::string SqliteElectionStore::issueToken(const std::string& login,
                                            const std::string& certificateBase64) {
    std::string token = toolkit::toHex(toolkit::randomBytes(TokenBytes));
    const std::lock_guard lock(mutex_);
    connection_.prepare("INSERT INTO token (token, login, certificate) VALUES (?, ?, ?)")
        .bind(1, token)
        .bind(2, login)
        .bind(3, certificateBase64)
        .run();
    return token;
}

std::optional<IssuedToken> SqliteElectionStore::findToken(const std::string& token) {
    const std::lock_guard lock(mutex_);
    auto row = connection_.prepare(
        "SELECT token, login, certificate, issued_at FROM token WHERE token = ?");
    row.bind(1, token);
    if (!row.step()) {
        return std::nullopt;
    }
    return IssuedToken{row.text(0), row.text(1), row.text(2), row.text(3)};
}

std::optional<std::string> SqliteElectionStore::latestToken(const std::string& login) {
    const std::lock_guard lock(mutex_);
    return latestTokenLocked(login);
}

std::optional<std::string> SqliteElectionStore::latestTokenLocked(const std::string& login) {
    auto latest =
        connection_.prepare("SELECT token FROM token WHERE login = ? ORDER BY rowid DESC LIMIT 1");
    latest.bind(1, login);
    if (!latest.step()) {
        return std::nullopt;
    }
    return latest.text(0);
}

BallotBoxEntry SqliteElectionStore::storeVote(BallotBoxEntry entry) {
    const std::lock_guard lock(mutex_);
    Transaction transaction(connection_, Begin);
    // Checked in the transaction of the insert, so that two copies of one
    // vote posted at once cannot both pass.
    if (entry.counts) {
        if (const auto refusal = replayRefusal(entry)) {
            entry.verdict = *refusal;
            entry.counts = false;
        }
    }
    if (entry.counts) {
        connection_.prepare("UPDATE ballot_box SET counts = 0 WHERE login = ? AND counts = 1")
            .bind(1, entry.login)
            .run();
    }
    auto insert = connection_.prepare(
        "INSERT INTO ballot_box (token, login, pin_hash, vote, submission, verdict, counts) "
        "VALUES (?, ?, ?, ?, ?, ?, ?)");
    insert.bind(1, entry.token);
    bindOrNull(insert, 2, entry.login);
    insert.bind(3, entry.pinHash).bind(4, entry.vote);
    bindOrNull(insert, 5, entry.submission);
    insert.bind(6, entry.verdict).bind(7, std::int64_t{entry.counts ? 1 : 0}).run();
    entry.id = connection_.lastInsertId();
    auto stored = connection_.prepare("SELECT received_at FROM ballot_box WHERE id = ?");
    stored.bind(1, entry.id);
    if (stored.step()) {
        entry.receivedAt = stored.text(0);
    }
    if (entry.verdict == "OK") {
        appendToBoard(connection_, entry.vote, entry.receivedAt);
    }
    transaction.commit();
    return entry;
}

// A captured vote posted again, in any encoding, or a vote made with a token
// the voter has since replaced, must not become the counting vote again.
std::optional<std::string> SqliteElectionStore::replayRefusal(const BallotBoxEntry& entry) {
    // Only an accepted copy counts: a vote first refused for its form (a bad
    // PIN hash, say) may still arrive in a sound one.
    auto seen =
        connection_.prepare("SELECT 1 FROM ballot_box WHERE submission = ? AND verdict = 'OK'");
    seen.bind(1, entry.submission);
    if (seen.step()) {
        return std::string(Replayed);
    }
    if (latestTokenLocked(entry.login) != entry.token) {
        return std::string(Superseded);
    }
    return std::nullopt;
}

std::optional<BallotBoxEntry> SqliteElectionStore::findSubmission(const std::string& submission) {
    const std::lock_guard lock(mutex_);
    auto row = connection_.prepare("SELECT " + std::string(EntryColumns) +
                                   " FROM ballot_box WHERE submission = ? AND verdict = 'OK'");
    row.bind(1, submission);
    if (!row.step()) {
        return std::nullopt;
    }
    return readEntry(row);
}

std::vector<BallotBoxEntry> SqliteElectionStore::votes() {
    const std::lock_guard lock(mutex_);
    auto rows =
        connection_.prepare("SELECT " + std::string(EntryColumns) + " FROM ballot_box ORDER BY id");
    std::vector<BallotBoxEntry> entries;
    while (rows.step()) {
        entries.push_back(readEntry(rows));
    }
    return entries;
}

std::uint64_t SqliteElectionStore::boardSize() {
    const std::lock_guard lock(mutex_);
    return boardSizeIn(connection_);
}

std::vector<ElectionStore::BoardLeaf> SqliteElectionStore::boardLeaves(std::uint64_t start,
                                                                       std::uint64_t end) {
    const std::lock_guard lock(mutex_);
    auto rows = connection_.prepare(
        "SELECT position, receipt, added_at FROM board_leaf WHERE position >= ? AND position < ? "
        "ORDER BY position");
    rows.bind(1, static_cast<std::int64_t>(start)).bind(2, static_cast<std::int64_t>(end));
    std::vector<BoardLeaf> leaves;
    while (rows.step()) {
        leaves.push_back({static_cast<std::uint64_t>(rows.integer(0)), rows.text(1), rows.text(2)});
    }
    return leaves;
}

std::optional<std::uint64_t> SqliteElectionStore::boardIndexOf(const std::string& receipt) {
    const std::lock_guard lock(mutex_);
    auto row = connection_.prepare("SELECT position FROM board_leaf WHERE receipt = ?");
    row.bind(1, receipt);
    if (!row.step()) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(row.integer(0));
}

merkle::Hash SqliteElectionStore::boardNode(int level, std::uint64_t position) {
    const std::lock_guard lock(mutex_);
    return readNode(connection_, level, position);
}

}  // namespace ardenax::server
