#include "BigBoard.h"

#include "crypto/toolkit/Digest.h"
#include "crypto/toolkit/Encoding.h"
#include "server/MerkleTree.h"
#include "server/SqliteConnection.h"
#include "server/SqliteElectionStore.h"

namespace ardenax::bench {
namespace {

constexpr std::uint64_t RowsPerStatement = 1000;
constexpr int Levels = 64;
namespace merkle = server::merkle;

// Many rows to one table, one statement each thousand of them.
class RowWriter {
public:
    RowWriter(server::SqliteConnection& db, std::string head) : db_(db), head_(std::move(head)) {}
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;
    ~RowWriter() { flush(); }

    void add(const std::string& row) {
        sql_ += sql_.empty() ? head_ : ",";
        sql_ += row;
        if (++rows_ == RowsPerStatement) {
            flush();
        }
    }
    void flush() {
        if (!sql_.empty()) {
            db_.execute(sql_);
        }
        sql_.clear();
        rows_ = 0;
    }

private:
    server::SqliteConnection& db_;
    std::string head_;
    std::string sql_;
    std::uint64_t rows_ = 0;
};

void fillBoard(const std::filesystem::path& database, std::uint64_t size) {
    server::SqliteConnection db(database, false);
    db.execute("BEGIN");
    {
        RowWriter leaves(db, "INSERT INTO board_leaf (position, receipt, added_at) VALUES ");
        RowWriter nodes(db, "INSERT INTO board_node (level, position, hash) VALUES ");
        // A new leaf only ever reads the last node of each level.
        std::vector<merkle::Hash> last(Levels);
        for (std::uint64_t index = 0; index < size; ++index) {
            const std::string receipt = BigBoard::receipt(index);
            leaves.add("(" + std::to_string(index) + ",'" + receipt +
                       "','2026-12-07T00:00:00.000Z')");
            const auto added = server::BoardTree::nodesOfLeaf(
                index, merkle::leafHash(toolkit::base64UrlDecode(receipt)),
                [&last](int level, std::uint64_t) {
                    return last.at(static_cast<std::size_t>(level));
                });
            for (const auto& [level, hash] : added) {
                last.at(static_cast<std::size_t>(level)) = hash;
                nodes.add("(" + std::to_string(level) + "," +
                          std::to_string(index >> static_cast<unsigned>(level)) + ",'" +
                          toolkit::toHex(hash) + "')");
            }
        }
    }
    db.execute("COMMIT");
}

}  // namespace

std::string BigBoard::receipt(std::uint64_t index) {
    return toolkit::base64UrlEncode(toolkit::sha256("vote " + std::to_string(index)));
}

BigBoard::BigBoard(std::uint64_t size) {
    const auto database = dir_.path() / "election.db";
    server::SqliteElectionStore::createDemo(database);
    fillBoard(database, size);
    server_ = std::make_unique<server::ReferenceServer>(
        server::ReferenceServer::Options{.database = database});
    server_->writeCaFile(dir_.path() / "ca.pem");
}

}  // namespace ardenax::bench
