// The voter's and the observer's road after the vote: receipts found on the
// bulletin board by the command line's verifiers and by the independent one,
// and a board altered behind its server's back caught by all of them.
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "common/RecordingMessageBox.h"
#include "common/ServerEnvironment.h"
#include "common/TempDir.h"
#include "control/VotingX.h"
#include "crypto/toolkit/Digest.h"
#include "crypto/toolkit/Encoding.h"
#include "integration/ChildProcess.h"
#include "server/MerkleTree.h"
#include "server/ReferenceServer.h"
#include "server/SqliteConnection.h"

namespace ardenax {
namespace {

namespace fs = std::filesystem;
using server::BoardTree;
namespace merkle = server::merkle;
using server::SqliteConnection;

struct Outcome {
    int status = 0;
    std::string printed;
};

class BulletinBoard : public ::testing::Test {
protected:
    BulletinBoard() {
        environment = testing::serverEnvironment(server, dir.path(),
                                                 std::make_shared<testing::RecordingMessageBox>());
    }

    // One voter's whole vote through a control; its receipt.
    std::string vote(const std::string& voter, const Text& choice) {
        VotingX control(environment);
        EXPECT_EQ(
            control.obtainToken(fromUtf8("utilizador=eleitor" + voter + "###senha=demo" + voter))
                .size(),
            32U);
        control.setChoice(u"BOT_Presidente", u"Presidente", choice);
        control.setPINHash(u"1234");
        EXPECT_TRUE(control.getConfirmationText().starts_with(u"Tem a certeza"));
        return toUtf8(control.getReceipt());
    }

    Outcome run(const std::string& program, std::vector<std::string> args) const {
        args.insert(args.end(),
                    {"--board", boardUrl, "--ca-file", (dir.path() / "ca.pem").string()});
        testing::ChildProcess process(program, args,
                                      {true, {"XDG_DATA_HOME=" + (dir.path() / "data").string()}});
        Outcome result;
        while (const auto line = process.readLine()) {
            result.printed += *line + "\n";
        }
        result.status = process.wait();
        return result;
    }
    Outcome verifyReceipt(const std::string& receipt) const {
        return run(ARDENAX_PROGRAM, {"verify-receipt", receipt});
    }
    Outcome verifyBoard() const { return run(ARDENAX_PROGRAM, {"verify-board"}); }
    Outcome python(std::vector<std::string> args) const {
        args.insert(args.begin(), ARDENAX_VERIFY_BOARD_SCRIPT);
        return run("/usr/bin/python3", args);
    }

    testing::TempDir dir;
    server::ReferenceServer server{{.database = dir.path() / "election.db"}};
    Environment environment;
    std::string boardUrl = server.baseUrl() + "/smv/board";
};

// The board as the database holds it, to be altered and put back.
struct BoardRows {
    std::vector<std::pair<std::string, std::string>> leaves;  // receipt, time

    static BoardRows read(SqliteConnection& db) {
        BoardRows rows;
        auto leaf = db.prepare("SELECT receipt, added_at FROM board_leaf ORDER BY position");
        while (leaf.step()) {
            rows.leaves.emplace_back(leaf.text(0), leaf.text(1));
        }
        return rows;
    }
    // Writes the leaves and every node of their tree, as the server would
    // have, had this been its history.
    void write(SqliteConnection& db) const {
        db.execute("DELETE FROM board_leaf; DELETE FROM board_node;");
        std::map<std::pair<int, std::uint64_t>, merkle::Hash> nodes;
        for (std::uint64_t index = 0; index < leaves.size(); ++index) {
            db.prepare("INSERT INTO board_leaf VALUES (?, ?, ?)")
                .bind(1, static_cast<std::int64_t>(index))
                .bind(2, leaves[index].first)
                .bind(3, leaves[index].second)
                .run();
            const auto added = BoardTree::nodesOfLeaf(
                index, merkle::leafHash(toolkit::base64UrlDecode(leaves[index].first)),
                [&nodes](int level, std::uint64_t position) {
                    return nodes.at({level, position});
                });
            for (const auto& [level, hash] : added) {
                const auto position = index >> static_cast<unsigned>(level);
                nodes[{level, position}] = hash;
                db.prepare("INSERT INTO board_node VALUES (?, ?, ?)")
                    .bind(1, std::int64_t{level})
                    .bind(2, static_cast<std::int64_t>(position))
                    .bind(3, toolkit::toHex(hash))
                    .run();
            }
        }
    }
};

TEST_F(BulletinBoard, EveryAcceptedVoteIsFoundByEachVerifier) {
    // A re-vote is a vote of its own on the board.
    const std::vector<std::string> receipts = {
        vote("1", u"Maria Pereira"), vote("2", u"Rita Fonseca"), vote("1", u"João Carvalho")};
    for (std::size_t index = 0; index < receipts.size(); ++index) {
        const auto checked = verifyReceipt(receipts[index]);
        EXPECT_EQ(checked.status, 0) << checked.printed;
        EXPECT_TRUE(checked.printed.starts_with("included at index " + std::to_string(index) +
                                                " of 3, head signed at 20"))
            << checked.printed;
        const auto independent = python({"--receipt", receipts[index]});
        EXPECT_EQ(independent.status, 0) << independent.printed;
        EXPECT_EQ(independent.printed.substr(0, 45), checked.printed.substr(0, 45));
    }
    for (const auto& checked : {verifyBoard(), python({})}) {
        EXPECT_EQ(checked.status, 0) << checked.printed;
        EXPECT_TRUE(
            checked.printed.starts_with("all 3 entries give the root of the head signed at 20"))
            << checked.printed;
    }
    const auto unknown = verifyReceipt(toolkit::base64UrlEncode(toolkit::sha256("no vote")));
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(unknown.printed.starts_with(
        "ardenax verify-receipt: the receipt is not on the board (3 entries, head signed at"))
        << unknown.printed;
    // A receipt is base64url: one that begins with "-" is still a receipt, not an option.
    const std::string dashed = "-" + std::string(42, 'A');
    for (const auto& checked : {verifyReceipt(dashed), python({"--receipt", dashed})}) {
        EXPECT_EQ(checked.status, 1) << checked.printed;
        EXPECT_NE(checked.printed.find("the receipt is not on the board (3 entries"),
                  std::string::npos)
            << checked.printed;
    }
}

// What each alteration of the board is caught as, by each verifier, once
// they have seen the board's true head.
TEST_F(BulletinBoard, AnAlteredBoardIsCaughtByEachVerifier) {
    const std::vector<std::string> receipts = {
        vote("1", u"Maria Pereira"), vote("2", u"Rita Fonseca"), vote("3", u"João Carvalho")};
    ASSERT_EQ(verifyBoard().status, 0);
    ASSERT_EQ(python({}).status, 0);
    SqliteConnection db(dir.path() / "election.db", false);
    const BoardRows truth = BoardRows::read(db);
    const std::string forged = toolkit::base64UrlEncode(toolkit::sha256("forged"));
    const std::string wrongRoot = "the board's 3 entries do not give the root of its head";
    const std::string rewritten = "the board rewrote its history since the head signed at";

    struct Alteration {
        const char* what;
        std::string sql;
        // What verify-board, and verify-receipt of the first receipt, say.
        std::string boardSays;
        std::string receiptSays;
        // Whether the nodes are made again to suit, as a server re-signing a
        // rewritten history would.
        bool rebuilt = false;
    };
    const std::vector<Alteration> alterations = {
        {"an entry changed", "UPDATE board_leaf SET receipt = '" + forged + "' WHERE position = 0",
         wrongRoot, "the receipt is not on the board (3 entries"},
        {"entries reordered",
         "UPDATE board_leaf SET position = 1 - position + 100 WHERE position < 2;"
         "UPDATE board_leaf SET position = position - 100 WHERE position >= 100",
         wrongRoot, "the board's proof for index 1 of 3, head signed at"},
        {"an entry removed", "DELETE FROM board_leaf WHERE position = 2",
         "the board shrank to 2 entries since the head signed at",
         "the board shrank to 2 entries since the head signed at"},
        {"history rewritten and signed",
         "UPDATE board_leaf SET receipt = '" + forged + "' WHERE position = 1", rewritten,
         rewritten, true},
    };
    for (const auto& alteration : alterations) {
        SCOPED_TRACE(alteration.what);
        db.execute(alteration.sql);
        if (alteration.rebuilt) {
            BoardRows::read(db).write(db);
        }
        const auto board = verifyBoard();
        EXPECT_EQ(board.status, 1);
        EXPECT_TRUE(board.printed.starts_with("ardenax verify-board: " + alteration.boardSays))
            << board.printed;
        const auto independentBoard = python({});
        EXPECT_EQ(independentBoard.status, 1);
        EXPECT_TRUE(independentBoard.printed.starts_with("verify_board: " + alteration.boardSays))
            << independentBoard.printed;
        const auto receipt = verifyReceipt(receipts[0]);
        EXPECT_EQ(receipt.status, 1);
        EXPECT_TRUE(
            receipt.printed.starts_with("ardenax verify-receipt: " + alteration.receiptSays))
            << receipt.printed;
        const auto independentReceipt = python({"--receipt", receipts[0]});
        EXPECT_EQ(independentReceipt.status, 1);
        EXPECT_TRUE(
            independentReceipt.printed.starts_with("verify_board: " + alteration.receiptSays))
            << independentReceipt.printed;
        truth.write(db);
    }
    EXPECT_EQ(verifyBoard().status, 0);
}

}  // namespace
}  // namespace ardenax
