#include "server/ElectionDatabase.h"

#include <algorithm>
#include <array>
#include <set>

#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Pki.h"
#include "crypto/toolkit/Random.h"
#include "server/OpenVote.h"
#include "support/Failure.h"

namespace ardenax::server {
namespace {

constexpr int SchemaVersion = 3;
constexpr std::size_t MaxNameLength = 100;
constexpr int MaxSlots = 32767;
constexpr std::size_t TokenBytes = 16;
constexpr std::string_view LoginField = "utilizador";
constexpr std::string_view PasswordField = "senha";

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
// submission (see submissionOf), which every encoding of one vote shares.
constexpr std::array<std::string_view, 2> SchemaUpgrades = {R"sql(
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
)sql"};

constexpr std::string_view Replayed = "ERROR the vote was received before";
constexpr std::string_view Superseded = "ERROR the token is not the voter's latest";

// A text, or NULL for the empty text.
void bindOrNull(SqliteStatement& statement, int index, const std::string& text) {
    if (text.empty()) {
        statement.bindNull(index);
    } else {
        statement.bind(index, text);
    }
}

Failure invalidSetup(const std::string& what) {
    return {Failure::InvalidProcedureCall, fromUtf8(what), u"ElectionDatabase"};
}

// Names travel unescaped in an HTML page, in ';'-, ','- and '##'-separated
// answers and in name=value credential pairs, so the characters that would
// break any of them are refused rather than escaped.
void requirePlain(const std::string& text, std::string_view forbidden, const std::string& what) {
    const bool wellFormed =
        !text.empty() && text.size() <= MaxNameLength && toUtf8(fromUtf8(text)) == text &&
        std::none_of(text.begin(), text.end(), [&](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x20 || byte == 0x7F || forbidden.find(c) != std::string_view::npos;
        });
    if (!wellFormed) {
        throw invalidSetup("Invalid " + what + ": \"" + text + "\"");
    }
}

void validate(const ElectionSetup& setup) {
    constexpr std::string_view Markup = "&<>;\"'";
    requirePlain(setup.id, Markup, "election id");
    requirePlain(setup.potency, Markup, "potency");
    if (setup.cards.empty()) {
        throw invalidSetup("An election needs at least one ballot card");
    }
    std::set<std::string> names;
    for (const auto& card : setup.cards) {
        requirePlain(card.name, "&<>;\"',#=", "ballot card name");
        // The client writes its vote in Windows-1252: a name it cannot write
        // would never match.
        const Text name = fromUtf8(card.name);
        if (!std::all_of(name.begin(), name.end(), isAnsi) || !names.insert(card.name).second) {
            throw invalidSetup("Invalid ballot card name: \"" + card.name + "\"");
        }
        if (card.slots < 1 || card.slots > MaxSlots) {
            throw invalidSetup("Invalid slot count for ballot card \"" + card.name + "\"");
        }
        for (const auto& candidate : card.candidates) {
            requirePlain(candidate, "#", "candidate");
        }
    }
    std::set<std::string> logins;
    for (const auto& voter : setup.voters) {
        requirePlain(voter.login, "=#", "login");
        requirePlain(voter.password, "=#", "password");
        requirePlain(voter.displayName, Markup, "display name");
        if (!logins.insert(voter.login).second) {
            throw invalidSetup("Duplicate login: \"" + voter.login + "\"");
        }
    }
}

// Rolls back unless committed, so that a failure leaves nothing half-written.
class Transaction {
public:
    explicit Transaction(SqliteConnection& connection) : connection_(connection) {
        connection_.execute("BEGIN IMMEDIATE");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction() {
        if (!committed_) {
            try {
                connection_.execute("ROLLBACK");
            } catch (const Failure&) {
                // The failure that brought us here is the one that matters.
            }
        }
    }
    void commit() {
        connection_.execute("COMMIT");
        committed_ = true;
    }

private:
    SqliteConnection& connection_;
    bool committed_ = false;
};

void fill(SqliteConnection& connection, const ElectionSetup& setup) {
    const auto identity = toolkit::createRecipientCertificate("ArdenaX election " + setup.id);
    Transaction transaction(connection);
    connection.execute(Schema);
    for (const auto upgrade : SchemaUpgrades) {
        connection.execute(upgrade);
    }
    connection
        .prepare("INSERT INTO election (singleton, id, potency, identity) VALUES (1, ?, ?, ?)")
        .bind(1, setup.id)
        .bind(2, setup.potency)
        .bind(3, identity.storageForm())
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
        connection.prepare("INSERT INTO voter (login, password, display_name) VALUES (?, ?, ?)")
            .bind(1, voter.login)
            .bind(2, voter.password)
            .bind(3, voter.displayName)
            .run();
    }
    transaction.commit();
}

// Brings a database of an earlier schema to the current one, in one
// transaction: the stored votes' submissions included.
void upgrade(SqliteConnection& connection, std::int64_t from) {
    Transaction transaction(connection);
    for (auto version = from; version < SchemaVersion; ++version) {
        connection.execute(SchemaUpgrades.at(static_cast<std::size_t>(version - 1)));
    }
    auto votes = connection.prepare("SELECT id, vote FROM ballot_box");
    while (votes.step()) {
        auto update = connection.prepare("UPDATE ballot_box SET submission = ? WHERE id = ?");
        bindOrNull(update, 1, submissionOf(votes.text(1)));
        update.bind(2, votes.integer(0)).run();
    }
    transaction.commit();
}

BallotBoxEntry readEntry(const SqliteStatement& row) {
    return {row.integer(0), row.text(1), row.text(2), row.text(3),         row.text(4),
            row.text(5),    row.text(6), row.text(7), row.integer(8) == 1, row.text(9)};
}

}  // namespace

void ElectionDatabase::create(const std::filesystem::path& file, const ElectionSetup& setup) {
    validate(setup);
    // Raises, touching nothing, when the file exists: it may hold an election.
    std::optional<SqliteConnection> connection(std::in_place, file, true);
    try {
        fill(*connection, setup);
    } catch (const Failure&) {
        connection.reset();
        std::error_code ignored;
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(file.string() + suffix, ignored);
        }
        throw;
    }
}

ElectionSetup ElectionDatabase::demoSetup() {
    return {"ARDENAX-DEMO",
            "1",
            {{"Presidente", 1, {"Maria Pereira", "João Carvalho", "Rita Fonseca"}},
             {"Assembleia", 3, {"Lista A", "Lista B", "Lista C", "Lista D"}},
             {"Referendo", 2, {"Sim", "Não"}}},
            {{"eleitor1", "demo1", "Ana Sousa"},
             {"eleitor2", "demo2", "Bruno Martins"},
             {"eleitor3", "demo3", "Inês Moreira"},
             {"eleitor4", "demo4", "Duarte Lopes"}}};
}

void ElectionDatabase::createDemo(const std::filesystem::path& file) {
    create(file, demoSetup());
}

ElectionDatabase::ElectionDatabase(const std::filesystem::path& file) : connection_(file, false) {
    std::int64_t schema = 0;
    {
        auto version = connection_.prepare("PRAGMA user_version");
        schema = version.step() ? version.integer(0) : 0;
    }
    if (schema >= 1 && schema < SchemaVersion) {
        upgrade(connection_, schema);
        schema = SchemaVersion;
    }
    auto election = connection_.prepare("SELECT id, potency, identity FROM election");
    if (schema != SchemaVersion || !election.step()) {
        throw Failure(Failure::E_Fail, u"Not an election database: " + fromUtf8(file.string()),
                      u"ElectionDatabase");
    }
    election_.id = election.text(0);
    election_.potency = election.text(1);
    election_.identity = std::make_shared<const toolkit::Certificate>(
        toolkit::Certificate::fromStorageForm(election.text(2)));
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

std::optional<Voter> ElectionDatabase::authenticate(const std::vector<FormField>& credentials) {
    const std::string* login = nullptr;
    const std::string* password = nullptr;
    for (const auto& field : credentials) {
        const std::string** slot = field.name == LoginField      ? &login
                                   : field.name == PasswordField ? &password
                                                                 : nullptr;
        if (slot == nullptr || *slot != nullptr) {
            return std::nullopt;
        }
        *slot = &field.value;
    }
    if (login == nullptr || password == nullptr) {
        return std::nullopt;
    }
    const std::lock_guard lock(mutex_);
    auto voter = connection_.prepare(
        "SELECT login, password, display_name FROM voter WHERE login = ? AND password = ?");
    voter.bind(1, *login).bind(2, *password);
    if (!voter.step()) {
        return std::nullopt;
    }
    return Voter{voter.text(0), voter.text(1), voter.text(2)};
}

std::string ElectionDatabase::issueToken(const std::string& login,
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

std::optional<IssuedToken> ElectionDatabase::findToken(const std::string& token) {
    const std::lock_guard lock(mutex_);
    auto row = connection_.prepare(
        "SELECT token, login, certificate, issued_at FROM token WHERE token = ?");
    row.bind(1, token);
    if (!row.step()) {
        return std::nullopt;
    }
    return IssuedToken{row.text(0), row.text(1), row.text(2), row.text(3)};
}

BallotBoxEntry ElectionDatabase::storeVote(BallotBoxEntry entry) {
    const std::lock_guard lock(mutex_);
    Transaction transaction(connection_);
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
        "INSERT INTO ballot_box (token, login, pin_hash, vote, submission, xml, verdict, counts) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    insert.bind(1, entry.token);
    bindOrNull(insert, 2, entry.login);
    insert.bind(3, entry.pinHash).bind(4, entry.vote);
    bindOrNull(insert, 5, entry.submission);
    insert.bind(6, entry.xml)
        .bind(7, entry.verdict)
        .bind(8, std::int64_t{entry.counts ? 1 : 0})
        .run();
    entry.id = connection_.lastInsertId();
    transaction.commit();
    return entry;
}

// A captured vote posted again, in any encoding, or a vote made with a token
// the voter has since replaced, must not become the counting vote again.
std::optional<std::string> ElectionDatabase::replayRefusal(const BallotBoxEntry& entry) {
    // Only an accepted copy counts: a vote first refused for its form (a bad
    // PIN hash, say) may still arrive in a sound one.
    auto seen =
        connection_.prepare("SELECT 1 FROM ballot_box WHERE submission = ? AND verdict = 'OK'");
    seen.bind(1, entry.submission);
    if (seen.step()) {
        return std::string(Replayed);
    }
    auto latest =
        connection_.prepare("SELECT token FROM token WHERE login = ? ORDER BY rowid DESC LIMIT 1");
    latest.bind(1, entry.login);
    if (!latest.step() || latest.text(0) != entry.token) {
        return std::string(Superseded);
    }
    return std::nullopt;
}

std::vector<IssuedToken> ElectionDatabase::issuedTokens() {
    const std::lock_guard lock(mutex_);
    auto rows = connection_.prepare(
        "SELECT token, login, certificate, issued_at FROM token ORDER BY rowid");
    std::vector<IssuedToken> tokens;
    while (rows.step()) {
        tokens.push_back({rows.text(0), rows.text(1), rows.text(2), rows.text(3)});
    }
    return tokens;
}

std::vector<BallotBoxEntry> ElectionDatabase::ballotBox() {
    const std::lock_guard lock(mutex_);
    auto rows = connection_.prepare(
        "SELECT id, token, coalesce(login, ''), pin_hash, vote, coalesce(submission, ''), xml, "
        "verdict, counts, received_at FROM ballot_box ORDER BY id");
    std::vector<BallotBoxEntry> entries;
    while (rows.step()) {
        entries.push_back(readEntry(rows));
    }
    return entries;
}

}  // namespace ardenax::server
