// Faults while votes stream into one PostgreSQL ballot box through several
// vote servers: a vote server killed outright, the database crashed and
// started again, and the database's primary crashed for good and its
// standby promoted in its place. Whatever fails, every vote answered OK is
// stored and counts once, each voter's last vote counts, and the board keeps
// one history that every head signed on the way begins.
#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "common/FileContent.h"
#include "common/PostgresServer.h"
#include "common/RecordingMessageBox.h"
#include "common/TempDir.h"
#include "control/VotingX.h"
#include "crypto/toolkit/Certificate.h"
#include "integration/ArdenaxCommand.h"
#include "integration/ServeProcess.h"
#include "server/BoardHead.h"
#include "server/MerkleTree.h"
#include "server/PgConnection.h"

namespace ardenax {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using server::BoardHead;
using testing::contentOf;
using testing::runArdenax;

// Each stream that outlives the fault votes this often at least, so that it
// is still voting when the fault comes.
constexpr int VotesAfterFault = 3;
// The votes a stream has had answered OK before the fault is made.
constexpr int VotesBeforeFault = 3;
// A guard against a test that would otherwise wait for ever.
constexpr auto Patience = std::chrono::minutes(2);

// What the streams have done so far, and whether the fault is over, for the
// test and the streams to wait on each other.
class Progress {
public:
    void accepted(std::size_t stream) {
        const std::lock_guard lock(mutex_);
        ++accepted_[stream];
        changed_.notify_all();
    }
    bool waitForAccepted(std::size_t stream, int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, Patience, [&] { return accepted_[stream] >= count; });
    }
    void faultOver() {
        const std::lock_guard lock(mutex_);
        faultOver_ = true;
        changed_.notify_all();
    }
    bool isFaultOver() {
        const std::lock_guard lock(mutex_);
        return faultOver_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::size_t, int> accepted_;
    bool faultOver_ = false;
};

// One voter's votes through one vote server, and what came back.
struct Stream {
    std::string login;
    std::size_t server = 0;
    // The stream ends when the fault is over: the server it votes through
    // is the one the fault kills.
    bool endsAtFault = false;

    std::vector<std::string> acceptedReceipts{};
    // The votes not accepted, in all and of those sent after the fault was over.
    int refused = 0;
    int refusedAfterFault = 0;
    std::vector<BoardHead> headsSeen{};
};

// An election in `database` whose voters vote through vote servers over it.
class SharedBallotBox : public ::testing::Test {
protected:
    explicit SharedBallotBox(std::string uri) : database(std::move(uri)) {
        std::ofstream(dir.path() / "cards.json") << R"({"id": "FALHAS-2027", "potency": "1",
            "cards": [{"name": "Presidente", "slots": 1, "candidates": ["Ana", "Bruno"]}]})";
        std::ofstream(dir.path() / "voters.csv") << "login,password,name\n"
                                                    "rita,senha,Rita Sousa\n"
                                                    "vasco,senha,Vasco Lopes\n"
                                                    "zita,senha,Zita Lima\n";
        const auto [made, said] =
            runArdenax({"election", "new", "--cards", (dir.path() / "cards.json").string(),
                        "--voters", (dir.path() / "voters.csv").string(), "--out",
                        (dir.path() / "election").string(), "--db", database});
        EXPECT_EQ(made, 0) << said;
        promotor = serve("promotor", {"--role", "promotor"});
    }

    std::unique_ptr<testing::ServeProcess> serve(const std::string& name,
                                                 std::vector<std::string> args) {
        const auto caFile = dir.path() / (name + "-ca.pem");
        args.insert(args.end(), {"--db", database, "--ca-file", caFile.string()});
        auto process = std::make_unique<testing::ServeProcess>(std::move(args));
        std::ofstream(dir.path() / "ca.pem", std::ios::app) << contentOf(caFile);
        return process;
    }
    void startVoteServers(int count) {
        for (int index = 0; index < count; ++index) {
            // Every vote server signs the one board's heads with the one key.
            smvs.push_back(
                serve("smv" + std::to_string(index),
                      {"--role", "smv", "--board-key", (dir.path() / "board-key.pem").string()}));
        }
    }

    // What vote server `index` answers to a GET of `path`; nothing for a
    // failure.
    std::optional<std::string> get(std::size_t index, const std::string& path) const {
        const auto url = toUtf8(smvs.at(index)->smvUrl);
        const auto portStart = url.rfind(':') + 1;
        httplib::SSLClient client("127.0.0.1",
                                  std::stoi(url.substr(portStart, url.find('/', portStart))));
        client.set_ca_cert_path((dir.path() / "ca.pem").c_str());
        const auto answer = client.Get(path);
        if (!answer || answer->status != 200) {
            return std::nullopt;
        }
        return answer->body;
    }
    std::optional<BoardHead> headOf(std::size_t index) const {
        const auto answer = get(index, "/smv/board/head");
        return answer ? BoardHead::fromJson(*answer) : std::nullopt;
    }

    // A voter votes "Bruno" through its vote server until the fault is over
    // and it has voted VotesAfterFault times since; then "Ana" once more, its
    // last vote, unless its server is the one the fault kills.
    void run(Stream& stream, std::size_t index) {
        Environment environment;
        environment.messageBox = std::make_shared<testing::RecordingMessageBox>();
        environment.storeRoot = dir.path() / ("stores-" + stream.login);
        environment.documentsDir = dir.path();
        environment.http.caFile = dir.path() / "ca.pem";
        environment.promotorUrl = promotor->promotorUrl;
        environment.smvUrl = smvs.at(stream.server)->smvUrl;
        VotingX control(environment);
        ASSERT_EQ(
            control.obtainToken(fromUtf8("utilizador=" + stream.login + "###senha=senha")).size(),
            32U);
        control.setPINHash(u"1234");
        int votesAfterFault = 0;
        for (bool last = false; !last;) {
            const bool afterFault = progress.isFaultOver();
            if (afterFault && stream.endsAtFault) {
                return;
            }
            last = afterFault && votesAfterFault == VotesAfterFault;
            control.setChoice(u"BOT_Presidente", u"Presidente", last ? u"Ana" : u"Bruno");
            const bool accepted = control.getConfirmationText().starts_with(u"Tem a certeza");
            votesAfterFault += afterFault ? 1 : 0;
            if (!accepted) {
                ++stream.refused;
                stream.refusedAfterFault += afterFault ? 1 : 0;
                continue;
            }
            stream.acceptedReceipts.push_back(toUtf8(control.getReceipt()));
            if (auto head = headOf(stream.server)) {
                stream.headsSeen.push_back(std::move(*head));
            }
            progress.accepted(index);
        }
    }

    // Runs the streams, and `fault` once stream `watched` has had
    // VotesBeforeFault votes accepted.
    void runStreams(std::vector<Stream>& streams, std::size_t watched,
                    const std::function<void()>& fault) {
        std::vector<std::jthread> threads;
        threads.reserve(streams.size());
        for (std::size_t index = 0; index < streams.size(); ++index) {
            threads.emplace_back([this, &streams, index] { run(streams[index], index); });
        }
        const bool reached = progress.waitForAccepted(watched, VotesBeforeFault);
        // The streams end only once the fault is over, whatever it did.
        std::string faultFailed;
        if (reached) {
            try {
                fault();
            } catch (const std::exception& failure) {
                faultFailed = failure.what();
            }
        }
        progress.faultOver();
        ASSERT_TRUE(reached);
        ASSERT_EQ(faultFailed, "");
    }

    // The board as vote server `index` shows it now, checked against every
    // head the streams saw: each signed by the board's key and the start of
    // the board now. Its receipts, in order.
    std::vector<std::string> checkedBoard(std::size_t index, const std::vector<Stream>& streams) {
        const auto pem = get(index, "/smv/board/certificate");
        const auto now = headOf(index);
        if (!pem || !now) {
            ADD_FAILURE() << "vote server " << index << " shows no board";
            return {};
        }
        const auto certificate = toolkit::Certificate::import(*pem);
        EXPECT_TRUE(now->verifiedBy(certificate));
        for (const auto& stream : streams) {
            for (const auto& head : stream.headsSeen) {
                EXPECT_TRUE(head.verifiedBy(certificate));
                EXPECT_TRUE(beginsBoard(index, head, *now)) << head.json() << " " << now->json();
            }
        }
        const auto answer =
            get(index, "/smv/board/entries?start=0&end=" + std::to_string(now->size));
        const auto entries = json::parse(answer.value_or(R"({"entries": []})"));
        std::vector<std::string> receipts;
        for (const auto& entry : entries["entries"]) {
            receipts.push_back(entry["receipt"]);
        }
        return receipts;
    }
    bool beginsBoard(std::size_t index, const BoardHead& head, const BoardHead& now) const {
        if (head.size == now.size) {
            return head.root == now.root;
        }
        const auto answer = get(index, "/smv/board/consistency?first=" + std::to_string(head.size) +
                                           "&second=" + std::to_string(now.size));
        const auto proof = json::parse(answer.value_or(R"({"path": []})"));
        std::vector<server::merkle::Hash> path;
        for (const auto& hash : proof["path"]) {
            path.push_back(*server::hashFromBase64Url(hash.get<std::string>()));
        }
        return server::merkle::verifyConsistency(head.size, now.size, head.root, now.root, path);
    }

    // Every vote answered OK is on the board once, and the ballot box holds
    // as many accepted votes as the board has entries.
    void expectEveryAcceptedVoteOnceOnTheBoard(const std::vector<Stream>& streams,
                                               const std::vector<std::string>& board) {
        const std::multiset<std::string> entries(board.begin(), board.end());
        EXPECT_EQ(std::set<std::string>(board.begin(), board.end()).size(), board.size());
        for (const auto& stream : streams) {
            for (const auto& receipt : stream.acceptedReceipts) {
                EXPECT_EQ(entries.count(receipt), 1U) << stream.login << " " << receipt;
            }
        }
        const auto [exported, said] =
            runArdenax({"export", "--db", database, "--out", (dir.path() / "audit").string()});
        ASSERT_EQ(exported, 0) << said;
        const auto manifest = json::parse(contentOf(dir.path() / "audit" / "manifest.json"));
        EXPECT_EQ(std::count_if(manifest.begin(), manifest.end(),
                                [](const json& vote) { return vote["verdict"] == "OK"; }),
                  static_cast<std::ptrdiff_t>(board.size()));
    }

    // No vote failed, not even one sent while the database was out of
    // reach; every vote answered OK is on the board once and each voter's
    // last one ("Ana") counts.
    void expectEveryVoteAcceptedAndCounted(const std::vector<Stream>& streams) {
        for (const auto& stream : streams) {
            EXPECT_EQ(stream.refused, 0) << stream.login;
        }
        const auto board = checkedBoard(0, streams);
        EXPECT_EQ(checkedBoard(1, streams), board);
        expectEveryAcceptedVoteOnceOnTheBoard(streams, board);
        EXPECT_EQ(tally(),
                  json::parse(R"([{"name": "Ana", "votes": 3}, {"name": "Bruno", "votes": 0}])"));
    }

    json tally() {
        const auto out = dir.path() / "tally.json";
        const auto [status, said] = runArdenax(
            {"tally", "--db", database, "--election-key",
             (dir.path() / "election" / "election-key.pem").string(), "--out", out.string()});
        EXPECT_EQ(status, 0) << said;
        return json::parse(contentOf(out))["cards"][0]["candidates"];
    }

    testing::TempDir dir;
    std::string database;
    std::unique_ptr<testing::ServeProcess> promotor;
    std::vector<std::unique_ptr<testing::ServeProcess>> smvs;
    Progress progress;
};

class SharedBallotBoxFaults : public SharedBallotBox {
protected:
    SharedBallotBoxFaults() : SharedBallotBox(testing::PostgresServer::shared().newDatabase()) {}
};

// A primary whose every commit waits until its standby holds it: without
// that, a vote answered OK could be missing from the standby it fails over to.
struct SynchronousPair {
    testing::PostgresServer primary{
        std::vector<std::string>{"synchronous_standby_names=standby", "synchronous_commit=on"}};
    testing::PostgresServer standby{primary, "standby"};
};

// The pair is made before, and goes after, the servers over it.
class SharedBallotBoxFailover : protected SynchronousPair, public SharedBallotBox {
protected:
    SharedBallotBoxFailover() : SharedBallotBox(primary.newDatabaseWithStandby(standby)) {}
};

TEST_F(SharedBallotBoxFaults, AVoteServerKilledWhileTwoOthersTakeVotesLosesNoAnsweredVote) {
    startVoteServers(3);
    std::vector<Stream> streams = {{.login = "rita", .server = 0},
                                   {.login = "vasco", .server = 1},
                                   {.login = "zita", .server = 2, .endsAtFault = true}};
    runStreams(streams, 2, [this] {
        smvs[2]->process.kill(SIGKILL);
        smvs[2]->process.wait();
    });

    for (const auto survivor : {0U, 1U}) {
        EXPECT_EQ(streams[survivor].refusedAfterFault, 0);
    }
    EXPECT_GE(streams[2].acceptedReceipts.size(), std::size_t{VotesBeforeFault});
    const auto board = checkedBoard(0, streams);
    EXPECT_EQ(checkedBoard(1, streams), board);
    expectEveryAcceptedVoteOnceOnTheBoard(streams, board);
    // Rita's and Vasco's last votes, and Zita's, whichever of hers came last.
    EXPECT_EQ(tally(),
              json::parse(R"([{"name": "Ana", "votes": 2}, {"name": "Bruno", "votes": 1}])"));
}

TEST_F(SharedBallotBoxFaults, TheDatabaseRestartedInTheMiddleOfAStreamLosesNoAnsweredVote) {
    startVoteServers(2);
    std::vector<Stream> streams = {{.login = "rita", .server = 0},
                                   {.login = "vasco", .server = 1},
                                   {.login = "zita", .server = 1}};
    runStreams(streams, 0, [] { testing::PostgresServer::shared().crashAndRestart(); });

    // The vote servers wait for the database and connect anew.
    expectEveryVoteAcceptedAndCounted(streams);
}

TEST_F(SharedBallotBoxFailover, APrimaryCrashedAndItsStandbyPromotedLosesNoAnsweredVote) {
    startVoteServers(2);
    std::vector<Stream> streams = {{.login = "rita", .server = 0},
                                   {.login = "vasco", .server = 1},
                                   {.login = "zita", .server = 1}};
    EXPECT_EQ(server::PgConnection(primary.adminDatabase())
                  .run("SELECT string_agg(application_name || ' ' || sync_state, ', ') "
                       "FROM pg_stat_replication")
                  .text(0, 0),
              "standby sync");
    runStreams(streams, 0, [this] {
        primary.crash();
        standby.promote();
    });

    // The vote servers find the promoted standby through the database's
    // list of hosts, and tally and export read it there.
    expectEveryVoteAcceptedAndCounted(streams);
}

}  // namespace
}  // namespace ardenax
