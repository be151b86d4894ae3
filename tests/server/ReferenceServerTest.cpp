#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "ClientVote.h"
#include "common/BallotBox.h"
#include "common/Failures.h"
#include "common/PostgresServer.h"
#include "common/TempDir.h"
#include "crypto/toolkit/Digest.h"
#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Pki.h"
#include "server/BoardHead.h"
#include "server/PostgresElectionStore.h"
#include "server/ReferenceServer.h"
#include "server/SealedVote.h"
#include "server/Smv.h"
#include "server/SqliteConnection.h"
#include "server/SqliteElectionStore.h"
#include "transport/HttpClient.h"

namespace ardenax::server {
namespace {

using testing::clientCertificate;
using testing::clientSeal;
using testing::clientXml;
using testing::demoVote;
using testing::tokenForm;

// The reference servers on loopback, reached as the client reaches them.
class ReferenceServerTest : public ::testing::Test {
protected:
    ReferenceServer& start(ReferenceServer::Options options = {}) {
        server_.reset();
        options.database = database_;
        server_ = std::make_unique<ReferenceServer>(options);
        if (!server_->caPem().empty()) {
            server_->writeCaFile(caFile_);
        }
        return *server_;
    }

    std::string post(const ParamList& params, const std::string& url) const {
        HttpSettings settings;
        settings.caFile = caFile_;
        return toUtf8(HttpClient(settings).Post(params, fromUtf8(url)));
    }

    // The six fields of the Promotor's answer.
    std::vector<std::string> obtainToken(const std::string& login, const std::string& password) {
        auto fields = testing::answerFields(
            fromUtf8(post(tokenForm(login, password), server_->promotorUrl())));
        EXPECT_EQ(fields.size(), 6U);
        fields.resize(6);
        return fields;
    }

    std::string castVote(const std::string& token, const std::string& vote,
                         const std::string& pin = testing::PinHash) const {
        return post(testing::voteForm(token, vote, pin), server_->smvUrl());
    }

    testing::TempDir dir_;
    std::filesystem::path database_ = dir_.path() / "election.db";
    std::filesystem::path caFile_ = dir_.path() / "ca.pem";
    std::unique_ptr<ReferenceServer> server_;
};

TEST_F(ReferenceServerTest, PromotorAnswersSixFieldsOrRefusesWithAReason) {
    auto& server = start();
    const auto answer = obtainToken("eleitor3", "demo3");
    EXPECT_EQ(answer[0], "ARDENAX-DEMO");
    EXPECT_EQ(answer[1], "Inês Moreira");
    EXPECT_EQ(answer[3], "1");
    EXPECT_EQ(answer[4], server.store().election().certificate->exportBase64());
    EXPECT_EQ(answer[5], "Presidente,1##Assembleia,3##Referendo,1");
    EXPECT_EQ(server.store().latestToken("eleitor3"), answer[2]);

    const auto issued = toolkit::issueServerCertificate(toolkit::createAuthority("CA"), {"x"});
    auto garbled = tokenForm("eleitor1", "demo1");
    garbled[0].crdValue = u"bm90IGEgY2VydGlmaWNhdGU=";
    auto reordered = tokenForm("eleitor1", "demo1");
    std::swap(reordered[0], reordered[1]);
    auto oversized = tokenForm("eleitor1", "demo1");
    oversized[3].crdValue = Text(300, u'x');
    for (const auto& [params, refusal] : std::vector<std::pair<ParamList, std::string>>{
             {tokenForm("eleitor1", "wrong"), "ERROR unknown credentials"},
             {garbled, "ERROR the certificate does not parse"},
             {tokenForm("eleitor1", "demo1", issued, "ECC"),
              "ERROR the certificate is not validly self-signed"},
             {tokenForm("eleitor1", "demo1", *clientCertificate(), "ECC"),
              "ERROR the key algorithm of the certificate is not alg"},
             {reordered, "ERROR the form must begin with the fields certificate and alg"},
             {oversized, "ERROR a field of the form is too large"}}) {
        EXPECT_EQ(post(params, server.promotorUrl()), refusal);
    }
    EXPECT_EQ(server.store().latestToken("eleitor1"), std::nullopt);
}

// Every vote is stored sealed, with its verdict; only a valid one counts. The
// refusals of the signed message's own shape are SealedVote's; here are the
// form's, the vote bound to its token's certificate and sealed for this
// election. What the vote says (its choices) the SMV cannot read: the tally
// judges it.
TEST_F(ReferenceServerTest, SmvStoresEveryVoteSealedWithItsVerdictAndCountsTheValidOne) {
    auto& server = start();
    const auto answer = obtainToken("eleitor1", "demo1");
    const auto vote = demoVote(answer);
    const auto foreign =
        clientSeal(clientXml({{"BOT_Presidente", {"Maria Pereira"}}}, "1"), answer[4],
                   std::make_shared<const toolkit::Certificate>(
                       toolkit::Certificate::createSelfSigned(u"CN=ArdenaCert, O=TELMARQ, C=PT")));
    const auto elsewhere =
        clientSeal(clientXml({{"BOT_Presidente", {"Maria Pereira"}}}, "1"),
                   toolkit::createRecipientCertificate("Another election").exportBase64(),
                   clientCertificate());
    EXPECT_EQ(castVote("0123456789ABCDEF0123456789ABCDEF", vote), "ERROR unknown token");
    EXPECT_EQ(castVote(answer[2], vote, "MTIzNA=="),
              "ERROR the PIN hash is not 28 characters of Base64");
    EXPECT_EQ(castVote(answer[2], foreign),
              "ERROR the vote is not signed by the certificate of its token");
    EXPECT_EQ(castVote(answer[2], elsewhere), "ERROR the vote is not sealed for this election");
    EXPECT_EQ(castVote(answer[2], std::string(Smv::MaxVoteLength + 1, 'A')),
              "ERROR a field of the form is too large");
    EXPECT_EQ(post({{u"pin", u"x"}, {u"token", u"y"}}, server.smvUrl()),
              "ERROR the form must hold the fields pin, token and vote once each");
    EXPECT_EQ(castVote(answer[2], demoVote(answer, "Ana")), "OK");
    EXPECT_EQ(castVote(answer[2], vote), "OK");

    const auto box = server.store().votes();
    ASSERT_EQ(box.size(), 6U);
    EXPECT_EQ(box[0].verdict, "ERROR unknown token");
    EXPECT_EQ(box[1].pinHash, "MTIzNA==");
    EXPECT_EQ(box[2].vote, foreign);
    EXPECT_EQ(box[5].login, "eleitor1");
    EXPECT_EQ(box[5].vote, vote);
    EXPECT_FALSE(box[4].counts);
    EXPECT_TRUE(box[5].counts);
    EXPECT_EQ(testing::openedDocument(database_, box[5]),
              clientXml({{"BOT_Presidente", {"Maria Pereira"}}, {"BOT_Referendo", {"Sim"}}}, "1"));
}

// Other texts of one signed vote: its Base64 with white space after and
// inside it (a "+" the form decodes as a space), with the unused bits before
// its padding set, and its message re-encoded with an indefinite length.
std::vector<std::string> otherEncodings(const std::string& vote) {
    std::string wrapped;
    for (std::size_t at = 0; at < vote.size(); at += 64) {
        wrapped += vote.substr(at, 64) + "\r\n";
    }
    std::vector<std::string> texts = {vote + "\n", vote + " ", wrapped};
    const auto padding = vote.find('=');
    if (padding != std::string::npos) {
        constexpr std::string_view Alphabet =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string loose = vote;
        loose[padding - 1] = Alphabet[Alphabet.find(vote[padding - 1]) | 1];
        texts.push_back(loose);
    }
    // The DER's outer SEQUENCE: 0x30, then its length, short or 0x8n and n bytes.
    const auto der = toolkit::base64Decode(vote);
    const auto lengthBytes = (static_cast<unsigned char>(der[1]) & 0x80) != 0
                                 ? static_cast<std::size_t>(der[1] & 0x7F)
                                 : std::size_t{0};
    texts.push_back(toolkit::base64Encode(std::string("\x30\x80", 2) + der.substr(2 + lengthBytes) +
                                          std::string(2, '\0')));
    return texts;
}

// A vote posted again, in any of its encodings, or a vote on a token its
// voter has since replaced, never counts.
TEST_F(ReferenceServerTest, ReplaysInAnyEncodingAndOlderTokensNeverCount) {
    auto& server = start();
    const auto first = obtainToken("eleitor1", "demo1");
    const auto firstVote = demoVote(first);
    EXPECT_EQ(castVote(first[2], firstVote), "OK");
    const auto other = obtainToken("eleitor2", "demo2");
    EXPECT_EQ(castVote(other[2], demoVote(other)), "OK");
    // The voter votes again on the same token, as the control allows.
    const auto secondVote = demoVote(first, "Rita Fonseca");
    EXPECT_EQ(castVote(first[2], secondVote), "OK");
    EXPECT_EQ(castVote(first[2], firstVote), "ERROR the vote was received before");
    const auto replays = otherEncodings(firstVote);
    for (const auto& replay : replays) {
        EXPECT_EQ(castVote(first[2], replay), "ERROR the vote was received before") << replay;
    }
    EXPECT_EQ(castVote(first[2], secondVote), "ERROR the vote was received before");
    obtainToken("eleitor1", "demo1");
    EXPECT_EQ(castVote(first[2], demoVote(first, "João Carvalho")),
              "ERROR the token is not the voter's latest");
    const auto counted = testing::countedVotes(server.store());
    ASSERT_EQ(counted.size(), 2U);
    EXPECT_EQ(counted[0].login, "eleitor2");
    EXPECT_EQ(counted[1].vote, secondVote);
    EXPECT_EQ(server.store().votes().size(), 6 + replays.size());
    // The board lists each vote accepted, superseded or not, and no refusal.
    const auto board = server.store().boardLeaves(0, 10);
    ASSERT_EQ(board.size(), 3U);
    EXPECT_EQ(board[0].receipt, receiptOf(firstVote));
    EXPECT_EQ(board[2].receipt, receiptOf(secondVote));
}

// The CA file replaces whatever has its name, a link included, and is never
// written through one.
TEST_F(ReferenceServerTest, TheCaFileNeverWritesThroughALinkAtItsName) {
    const auto victim = dir_.path() / "victim";
    std::ofstream(victim) << "precious";
    std::filesystem::create_symlink(victim, caFile_);
    auto& server = start();
    std::ifstream kept(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "precious");
    std::ifstream written(caFile_);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), server.caPem());
    EXPECT_FALSE(std::filesystem::is_symlink(caFile_));
}

TEST_F(ReferenceServerTest, TwentyConcurrentVotersAreAllCounted) {
    constexpr int Voters = 20;
    auto setup = SqliteElectionStore::demoSetup();
    setup.voters.clear();
    for (int i = 0; i < Voters; ++i) {
        setup.voters.push_back({std::to_string(i), std::to_string(i), "Voter"});
    }
    SqliteElectionStore::create(database_, setup, SqliteElectionStore::keyFileOf(database_));
    auto& server = start();
    std::vector<std::string> verdicts(Voters);
    std::vector<std::thread> voters;
    voters.reserve(Voters);
    for (int i = 0; i < Voters; ++i) {
        voters.emplace_back([this, i, &verdicts] {
            const auto answer = obtainToken(std::to_string(i), std::to_string(i));
            verdicts[i] = castVote(answer[2], demoVote(answer));
        });
    }
    for (auto& voter : voters) {
        voter.join();
    }
    EXPECT_EQ(verdicts, std::vector<std::string>(Voters, "OK"));
    EXPECT_EQ(testing::countedVotes(server.store()).size(), std::size_t{Voters});
}

TEST_F(ReferenceServerTest, RequestsThatAreNotFormsOrTooLargeAreRefusedInTheirBody) {
    auto& server = start();
    httplib::SSLClient raw("127.0.0.1", server.port());
    raw.set_ca_cert_path(caFile_.c_str());
    for (const auto& [body, type, status, refusal] :
         std::initializer_list<std::tuple<std::string, const char*, int, const char*>>{
             {"pin=%zz&token", "application/x-www-form-urlencoded", 400,
              "ERROR the request is not a well-formed form"},
             {"certificate=x", "text/plain", 400, "ERROR the request is not a well-formed form"},
             {"vote=" + std::string(ReferenceServer::MaxRequestLength, 'A'),
              "application/x-www-form-urlencoded", 413, "ERROR the request is too large"}}) {
        const auto answer = raw.Post("/smv/votesetter", body, type);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, status);
        EXPECT_NE(answer->body.find("<BODY>" + std::string(refusal) + "</BODY>"),
                  std::string::npos);
    }
    EXPECT_TRUE(server.store().votes().empty());
}

TEST_F(ReferenceServerTest, ServesTlsForItsNamesOrWithAGivenCertificate) {
    auto& server = start();
    EXPECT_EQ(post({}, "https://localhost:" + std::to_string(server.port()) +
                           std::string(ReferenceServer::SmvPath)),
              "ERROR the form must hold the fields pin, token and vote once each");
    // The name voters reach it by: in its URLs, and in its certificate.
    auto& named = start({.name = "voto.example.test"});
    EXPECT_EQ(named.smvUrl(), "https://voto.example.test:" + std::to_string(named.port()) +
                                  std::string(ReferenceServer::SmvPath));
    httplib::SSLClient byName("voto.example.test", named.port());
    byName.set_hostname_addr_map({{"voto.example.test", "127.0.0.1"}});
    byName.set_ca_cert_path(caFile_.c_str());
    const auto answer = byName.Get("/election.json");
    ASSERT_TRUE(answer) << httplib::to_string(answer.error());
    EXPECT_EQ(answer->status, 200);

    const auto authority = toolkit::createAuthority("Operator CA");
    const auto identity = dir_.path() / "server.pem";
    std::ofstream(identity)
        << toolkit::issueServerCertificate(authority, {"127.0.0.1"}).storageForm();
    std::ofstream(caFile_) << toolkit::certificatePem(authority);
    start({.certificateFile = identity, .keyFile = identity});
    EXPECT_EQ(server_->caPem(), "");
    EXPECT_EQ(obtainToken("eleitor1", "demo1")[0], "ARDENAX-DEMO");
    EXPECT_NE(testing::failureNumber([&] {
                  start({.certificateFile = identity, .keyFile = dir_.path() / "missing.pem"});
              }),
              0);
}

// No route shows a choice, a token or anything of a voter: the page's own
// files, the cards with their candidates, and what each endpoint says to a GET.
TEST_F(ReferenceServerTest, NoRouteShowsAChoiceOrAToken) {
    std::ofstream(dir_.path() / "index.html") << "<p>Votar</p>";
    auto& server = start({.webRoot = dir_.path()});
    const auto answer = obtainToken("eleitor2", "demo2");
    const std::string secret = "Escolha secreta 42";
    EXPECT_EQ(castVote(answer[2], demoVote(answer, secret)), "OK");
    httplib::SSLClient client("127.0.0.1", server.port());
    client.set_ca_cert_path(caFile_.c_str());
    const auto election = client.Get("/election.json");
    ASSERT_TRUE(election);
    EXPECT_EQ(election->get_header_value("Content-Type"), "application/json");
    EXPECT_EQ(nlohmann::json::parse(election->body)["cards"][2],
              nlohmann::json::parse(R"({"id":"BOT_Referendo","name":"Referendo","slots":1,
                                        "candidates":["Sim","Não"]})"));
    EXPECT_EQ(client.Get("/")->body, "<p>Votar</p>");
    for (const auto* path :
         {"/", "/index.html", "/election.json", "/ballot-box.json", "/votes.json",
          "/promotor/obtaintoken", "/smv/votesetter", "/smv/board/head",
          "/smv/board/entries?start=0&end=9", "/smv/board/proof?size=1&receipt="}) {
        for (const auto& got : {client.Get(path), client.Post(path, "", "text/plain")}) {
            ASSERT_TRUE(got) << path;
            for (const auto& kept :
                 {secret, answer[2], std::string("eleitor2"), std::string("<Choice>")}) {
                EXPECT_EQ(got->body.find(kept), std::string::npos) << path << ": " << kept;
            }
        }
    }
    EXPECT_EQ(client.Get("/ballot-box.json")->status, 404);
}

// The board's answers check against its certificate, and whatever is no
// question of a board gets a reason in JSON.
TEST_F(ReferenceServerTest, TheBoardAnswersWithProofsAndRefusesOtherQuestions) {
    auto& server = start();
    std::vector<std::string> receipts;
    for (const auto* voter : {"1", "2", "3"}) {
        const auto answer =
            obtainToken(std::string("eleitor") + voter, std::string("demo") + voter);
        const auto vote = demoVote(answer);
        ASSERT_EQ(castVote(answer[2], vote), "OK");
        receipts.push_back(receiptOf(vote));
    }
    httplib::SSLClient client("127.0.0.1", server.port());
    client.set_ca_cert_path(caFile_.c_str());
    const auto get = [&client](const std::string& path) {
        const auto got = client.Get(path);
        EXPECT_TRUE(got) << path;
        EXPECT_EQ(got->get_header_value("Access-Control-Allow-Origin"), "*") << path;
        return nlohmann::json::parse(got->body);
    };

    const auto pem = client.Get("/smv/board/certificate")->body;
    std::ifstream written(server.boardCertificateFile());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), pem);
    const auto headJson = get("/smv/board/head");
    EXPECT_EQ(headJson.size(), 4U);
    const auto head = BoardHead::fromJson(headJson.dump());
    ASSERT_TRUE(head);
    EXPECT_EQ(head->size, 3U);
    EXPECT_TRUE(head->verifiedBy(toolkit::Certificate::import(pem)));
    EXPECT_EQ(head->time.size(), 24U);

    const auto entries = get("/smv/board/entries?start=1&end=5")["entries"];
    ASSERT_EQ(entries.size(), 2U);
    EXPECT_EQ(entries[1]["index"], 2);
    EXPECT_EQ(entries[1]["receipt"], receipts[2]);
    const auto proof = get("/smv/board/proof?receipt=" + receipts[1] + "&size=3");
    EXPECT_EQ(proof["index"], 1);
    std::vector<merkle::Hash> path;
    for (const auto& hash : proof["path"]) {
        path.push_back(*hashFromBase64Url(hash.get<std::string>()));
    }
    EXPECT_TRUE(merkle::verifyInclusion(merkle::leafHash(toolkit::base64UrlDecode(receipts[1])), 1,
                                        3, path, head->root));
    path.clear();
    const auto consistency = get("/smv/board/consistency?first=1&second=3");
    for (const auto& hash : consistency["path"]) {
        path.push_back(*hashFromBase64Url(hash.get<std::string>()));
    }
    EXPECT_TRUE(merkle::verifyConsistency(
        1, 3, merkle::leafHash(toolkit::base64UrlDecode(receipts[0])), head->root, path));

    const std::string entriesRefused = "start and end must be indexes, end - start at most 10000";
    const std::string proofRefused = "receipt must be 43 base64url characters, size a board size";
    const std::string consistencyRefused =
        "first and second must be board sizes, 0 < first <= second";
    const std::string unknown = toolkit::base64UrlEncode(toolkit::sha256("no vote"));
    const std::vector<std::tuple<std::string, int, std::string>> refusals = {
        {"/smv/board/entries?start=2&end=1", 400, entriesRefused},
        {"/smv/board/entries?start=0&end=10001", 400, entriesRefused},
        {"/smv/board/entries?start=-1&end=2", 400, entriesRefused},
        {"/smv/board/entries?start=1e0&end=2", 400, entriesRefused},
        {"/smv/board/entries?end=2", 400, entriesRefused},
        {"/smv/board/proof?receipt=" + receipts[0] + "&size=4", 400, proofRefused},
        {"/smv/board/proof?receipt=" + receipts[0] + "A&size=3", 400, proofRefused},
        {"/smv/board/proof?receipt=" + unknown + "&size=3", 404,
         "the receipt is not among the first 3 entries"},
        {"/smv/board/proof?receipt=" + receipts[2] + "&size=2", 404,
         "the receipt is not among the first 2 entries"},
        {"/smv/board/consistency?first=0&second=3", 400, consistencyRefused},
        {"/smv/board/consistency?first=3&second=2", 400, consistencyRefused},
        {"/smv/board/consistency?first=3&second=4", 400, consistencyRefused},
    };
    for (const auto& [target, status, why] : refusals) {
        const auto got = client.Get(target);
        ASSERT_TRUE(got) << target;
        EXPECT_EQ(got->status, status) << target;
        EXPECT_EQ(got->body, nlohmann::json({{"error", why}}).dump()) << target;
    }
}

// Each role serves its own routes, over one database that two processes share.
TEST_F(ReferenceServerTest, EachRoleServesItsOwnRoutes) {
    auto& promotor = start({.role = ReferenceServer::Role::Promotor});
    ReferenceServer smv({.database = database_, .role = ReferenceServer::Role::Smv});
    std::ofstream(caFile_, std::ios::app) << smv.caPem();
    const auto answer = obtainToken("eleitor4", "demo4");
    EXPECT_EQ(post(testing::voteForm(answer[2], demoVote(answer)), smv.smvUrl()), "OK");
    EXPECT_EQ(post(testing::voteForm(answer[2], demoVote(answer)), promotor.smvUrl()),
              "ERROR HTTP 404");
    EXPECT_EQ(post(tokenForm("eleitor4", "demo4"), smv.promotorUrl()), "ERROR HTTP 404");
    EXPECT_EQ(testing::countedVotes(promotor.store()).size(), 1U);
}

// Vote servers over one PostgreSQL database may run on several machines:
// the board's key is not found beside the database, it must be given.
TEST(ReferenceServerOnPostgres, AnSmvMustBeGivenItsBoardKey) {
    testing::TempDir dir;
    const auto database = testing::PostgresServer::shared().newDatabase();
    PostgresElectionStore::create(database, SqliteElectionStore::demoSetup(),
                                  dir.path() / "election-key.pem");
    for (const auto role : {ReferenceServer::Role::Smv, ReferenceServer::Role::All}) {
        EXPECT_EQ(testing::failureNumber(
                      [&] { ReferenceServer server({.database = database, .role = role}); }),
                  Failure::InvalidProcedureCall);
    }
    const ReferenceServer promotor({.database = database, .role = ReferenceServer::Role::Promotor});
    EXPECT_EQ(promotor.boardCertificateFile(), std::filesystem::path());
    const ReferenceServer smv({.database = database,
                               .boardKeyFile = dir.path() / "board-key.pem",
                               .role = ReferenceServer::Role::Smv});
    EXPECT_EQ(smv.boardCertificateFile(), dir.path() / "board.pem");
}

}  // namespace
}  // namespace ardenax::server
