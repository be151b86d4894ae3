#include <fstream>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "ClientVote.h"
#include "common/Failures.h"
#include "common/TempDir.h"
#include "crypto/toolkit/Digest.h"
#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Pki.h"
#include "server/ReferenceServer.h"
#include "server/Smv.h"
#include "support/Split.h"
#include "transport/HttpClient.h"

namespace ardenax::server {
namespace {

using testing::clientCertificate;
using testing::clientSeal;
using testing::clientXml;
using testing::TempDir;

const std::string PinHash = toolkit::base64Encode(toolkit::sha1("1234"));

// The six fields of a Promotor answer.
struct TokenAnswer {
    std::string electionId;
    std::string displayName;
    std::string token;
    std::string potency;
    std::string certificate;
    std::string descriptors;
};

class ReferenceServerTest : public ::testing::Test {
protected:
    ReferenceServer& start() {
        server_.reset();
        server_ = std::make_unique<ReferenceServer>(
            ReferenceServer::Options{.database = database_, .recordForms = true});
        server_->writeCaFile(caFile_);
        return *server_;
    }

    HttpSettings settings() const {
        HttpSettings settings;
        settings.caFile = caFile_;
        settings.connectTimeout = std::chrono::seconds(5);
        settings.totalTimeout = std::chrono::seconds(30);
        return settings;
    }

    std::string post(const ParamList& params, const std::string& url) const {
        return toUtf8(HttpClient(settings()).Post(params, fromUtf8(url)));
    }

    static ParamList tokenRequest(const std::string& login, const std::string& password,
                                  const toolkit::Certificate& certificate = *clientCertificate(),
                                  const std::string& alg = "RSA") {
        return {{u"certificate", fromUtf8(certificate.exportBase64())},
                {u"alg", fromUtf8(alg)},
                {u"utilizador", fromUtf8(login)},
                {u"senha", fromUtf8(password)}};
    }

    std::string obtainTokenAnswer(const ParamList& params) const {
        return post(params, server_->promotorUrl());
    }

    TokenAnswer obtainToken(const std::string& login, const std::string& password) const {
        const auto answer = obtainTokenAnswer(tokenRequest(login, password));
        const auto fields = split(fromUtf8(answer), u";", LetterCase::Exact);
        EXPECT_EQ(fields.size(), 6U) << answer;
        if (fields.size() != 6) {
            return {};
        }
        return {toUtf8(fields[0]), toUtf8(fields[1]), toUtf8(fields[2]),
                toUtf8(fields[3]), toUtf8(fields[4]), toUtf8(fields[5])};
    }

    std::string castVote(const std::string& token, const std::string& vote,
                         const std::string& pin = PinHash) const {
        return post(
            {{u"pin", fromUtf8(pin)}, {u"token", fromUtf8(token)}, {u"vote", fromUtf8(vote)}},
            server_->smvUrl());
    }

    static std::string demoVote(const TokenAnswer& answer, const std::string& president = "Maria") {
        return clientSeal(
            clientXml({{"BOT_Presidente", {president}}, {"BOT_Referendo", {"Sim", ""}}},
                      answer.potency),
            answer.certificate, clientCertificate());
    }

    TempDir dir_;
    std::filesystem::path database_ = dir_.path() / "election.db";
    std::filesystem::path caFile_ = dir_.path() / "ca.pem";
    std::unique_ptr<ReferenceServer> server_;
};

TEST_F(ReferenceServerTest, AVoterObtainsATokenAndVotes) {
    auto& server = start();
    const auto answer = obtainToken("eleitor3", "demo3");
    EXPECT_EQ(answer.electionId, "ARDENAX-DEMO");
    EXPECT_EQ(answer.displayName, "Inês Moreira");
    EXPECT_EQ(answer.potency, "1");
    EXPECT_EQ(answer.certificate, server.database().election().identity->exportBase64());
    EXPECT_EQ(answer.descriptors, "Presidente,1##Assembleia,3##Referendo,2");
    const auto tokens = server.database().issuedTokens();
    ASSERT_EQ(tokens.size(), 1U);
    EXPECT_EQ(tokens[0].token, answer.token);
    EXPECT_EQ(tokens[0].login, "eleitor3");
    EXPECT_EQ(tokens[0].certificate, clientCertificate()->exportBase64());

    const auto vote = demoVote(answer);
    EXPECT_EQ(castVote(answer.token, vote), "OK");
    const auto box = server.database().ballotBox();
    ASSERT_EQ(box.size(), 1U);
    EXPECT_EQ(box[0].token, answer.token);
    EXPECT_EQ(box[0].login, "eleitor3");
    EXPECT_EQ(box[0].pinHash, PinHash);
    EXPECT_EQ(box[0].vote, vote);
    EXPECT_EQ(box[0].xml,
              clientXml({{"BOT_Presidente", {"Maria"}}, {"BOT_Referendo", {"Sim", ""}}}, "1"));
    EXPECT_EQ(box[0].verdict, "OK");
    EXPECT_TRUE(box[0].counts);
}

TEST_F(ReferenceServerTest, PromotorRefusesBadCredentialsAndCertificates) {
    auto& server = start();
    const auto authority = toolkit::createAuthority("Some CA");
    const auto issued = toolkit::issueServerCertificate(authority, {"localhost"});
    auto garbled = tokenRequest("eleitor1", "demo1");
    garbled[0].crdValue = u"bm90IGEgY2VydGlmaWNhdGU=";
    auto reordered = tokenRequest("eleitor1", "demo1");
    std::swap(reordered[0], reordered[1]);
    auto oversized = tokenRequest("eleitor1", "demo1");
    oversized[3].crdValue = Text(300, u'x');
    const std::vector<std::pair<ParamList, std::string>> cases = {
        {tokenRequest("eleitor1", "wrong"), "ERROR unknown credentials"},
        {tokenRequest("nobody", "demo1"), "ERROR unknown credentials"},
        {garbled, "ERROR the certificate does not parse"},
        {tokenRequest("eleitor1", "demo1", issued, "ECC"),
         "ERROR the certificate is not validly self-signed"},
        {tokenRequest("eleitor1", "demo1", *clientCertificate(), "ECC"),
         "ERROR the key algorithm of the certificate is not alg"},
        {reordered, "ERROR the form must begin with the fields certificate and alg"},
        {oversized, "ERROR a field of the form is too large"},
    };
    for (const auto& [params, refusal] : cases) {
        EXPECT_EQ(obtainTokenAnswer(params), refusal);
    }
    EXPECT_TRUE(server.database().issuedTokens().empty());
}

// The refusals of the vote's content are openVote's; here are the form's, and
// the vote bound to its token's certificate.
TEST_F(ReferenceServerTest, SmvRefusesAndStoresEveryVoteWithItsVerdict) {
    auto& server = start();
    const auto answer = obtainToken("eleitor1", "demo1");
    const auto vote = demoVote(answer);
    const auto foreign = clientSeal(clientXml({{"BOT_Presidente", {"Maria"}}}, "1"),
                                    answer.certificate, testing::otherClientCertificate());
    EXPECT_EQ(castVote("0123456789ABCDEF0123456789ABCDEF", vote), "ERROR unknown token");
    EXPECT_EQ(castVote(answer.token, vote, "MTIzNA=="),
              "ERROR the PIN hash is not 28 characters of Base64");
    EXPECT_EQ(castVote(answer.token, foreign),
              "ERROR the vote is not signed by the certificate of its token");
    EXPECT_EQ(
        post({{u"pin", fromUtf8(PinHash)}, {u"token", fromUtf8(answer.token)}}, server.smvUrl()),
        "ERROR the form must hold the fields pin, token and vote once each");

    const auto box = server.database().ballotBox();
    ASSERT_EQ(box.size(), 3U);
    EXPECT_EQ(box[0].verdict, "ERROR unknown token");
    EXPECT_EQ(box[0].login, "");
    EXPECT_EQ(box[1].pinHash, "MTIzNA==");
    EXPECT_EQ(box[2].vote, foreign);
    EXPECT_TRUE(server.database().countedVotes().empty());
}

TEST_F(ReferenceServerTest, ALaterValidVoteReplacesTheEarlierAndSurvivesARestart) {
    start();
    const auto answer = obtainToken("eleitor2", "demo2");
    EXPECT_EQ(castVote(answer.token, demoVote(answer, "First")), "OK");
    server_->stop();

    auto& restarted = start();
    // The token and the election key outlive the server that made them.
    EXPECT_EQ(castVote(answer.token, demoVote(answer, "Second")), "OK");
    EXPECT_EQ(castVote(answer.token, "garbage"), "ERROR the vote is not a signed message");
    const auto box = restarted.database().ballotBox();
    ASSERT_EQ(box.size(), 3U);
    EXPECT_FALSE(box[0].counts);
    EXPECT_TRUE(box[1].counts);
    EXPECT_FALSE(box[2].counts);
    const auto counted = restarted.database().countedVotes();
    ASSERT_EQ(counted.size(), 1U);
    EXPECT_NE(counted[0].xml.find("<Choice>Second</Choice>"), std::string::npos);
}

TEST_F(ReferenceServerTest, TwentyConcurrentVotersAreAllCounted) {
    constexpr int Voters = 20;
    auto setup = ElectionDatabase::demoSetup();
    setup.voters.clear();
    // Names built by append: GCC 12 warns falsely on "literal" + std::string&& at -O3.
    const auto numbered = [](std::string prefix, int i) { return prefix += std::to_string(i); };
    for (int i = 0; i < Voters; ++i) {
        setup.voters.push_back({numbered("v", i), numbered("p", i), "Voter"});
    }
    ElectionDatabase::create(database_, setup);
    auto& server = start();

    std::vector<std::string> answers(Voters);
    std::vector<std::thread> voters;
    voters.reserve(Voters);
    for (int i = 0; i < Voters; ++i) {
        voters.emplace_back([this, i, &answers, &numbered] {
            const auto answer = obtainToken(numbered("v", i), numbered("p", i));
            answers[i] = castVote(answer.token, demoVote(answer, std::to_string(i)));
        });
    }
    for (auto& voter : voters) {
        voter.join();
    }
    EXPECT_EQ(answers, std::vector<std::string>(Voters, "OK"));
    EXPECT_EQ(server.database().issuedTokens().size(), std::size_t{Voters});
    EXPECT_EQ(server.database().ballotBox().size(), std::size_t{Voters});
    std::set<std::string> logins;
    for (const auto& entry : server.database().countedVotes()) {
        logins.insert(entry.login);
    }
    EXPECT_EQ(logins.size(), std::size_t{Voters});
}

TEST_F(ReferenceServerTest, MalformedAndOversizedRequestsAreRefusedClearly) {
    auto& server = start();
    httplib::SSLClient raw("127.0.0.1", server.port());
    raw.set_ca_cert_path(caFile_.c_str());
    raw.enable_server_certificate_verification(true);
    const auto malformed =
        raw.Post("/smv/votesetter", "pin=%zz&token", "application/x-www-form-urlencoded");
    ASSERT_TRUE(malformed);
    EXPECT_EQ(malformed->status, 400);
    EXPECT_NE(malformed->body.find("<BODY>ERROR the request is not a well-formed form</BODY>"),
              std::string::npos);
    const auto notForm = raw.Post("/promotor/obtaintoken", "certificate=x", "text/plain");
    ASSERT_TRUE(notForm);
    EXPECT_EQ(notForm->status, 400);
    const auto huge =
        raw.Post("/smv/votesetter", "vote=" + std::string(ReferenceServer::MaxRequestLength, 'A'),
                 "application/x-www-form-urlencoded");
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->status, 413);
    EXPECT_NE(huge->body.find("<BODY>ERROR the request is too large</BODY>"), std::string::npos);

    const auto answer = obtainToken("eleitor4", "demo4");
    EXPECT_EQ(castVote(answer.token, std::string(Smv::MaxVoteLength + 1, 'A')),
              "ERROR a field of the form is too large");
    EXPECT_EQ(castVote(std::string(200, 'T'), "x"), "ERROR a field of the form is too large");
    EXPECT_TRUE(server.database().ballotBox().empty());
}

TEST_F(ReferenceServerTest, TlsIsTrustedThroughTheThrowawayAuthorityForBothLoopbackNames) {
    auto& server = start();
    EXPECT_EQ(server.promotorUrl(),
              "https://127.0.0.1:" + std::to_string(server.port()) + "/promotor/obtaintoken");
    EXPECT_EQ(post({}, "https://localhost:" + std::to_string(server.port()) +
                           std::string(ReferenceServer::SmvPath)),
              "ERROR the form must hold the fields pin, token and vote once each");
}

TEST_F(ReferenceServerTest, ServesWithAGivenCertificate) {
    const auto authority = toolkit::createAuthority("Operator CA");
    const auto identity = dir_.path() / "server.pem";
    std::ofstream(identity)
        << toolkit::issueServerCertificate(authority, {"127.0.0.1"}).storageForm();
    std::ofstream(caFile_) << toolkit::certificatePem(authority);
    ReferenceServer::Options options;
    options.database = database_;
    options.certificateFile = identity;
    options.keyFile = identity;
    server_ = std::make_unique<ReferenceServer>(options);
    EXPECT_EQ(server_->caPem(), "");
    EXPECT_EQ(obtainToken("eleitor1", "demo1").electionId, "ARDENAX-DEMO");

    options.keyFile = dir_.path() / "missing.pem";
    EXPECT_NE(testing::failureNumber([&] { ReferenceServer refused(options); }), 0);
}

TEST_F(ReferenceServerTest, ScriptedAnswersReplaceTheEndpointUntilCleared) {
    auto& server = start();
    server.scriptAnswer(ReferenceServer::PromotorPath, "a;b;c;d;e;f;g");
    EXPECT_EQ(obtainTokenAnswer(tokenRequest("eleitor1", "demo1")), "a;b;c;d;e;f;g");
    EXPECT_EQ(obtainTokenAnswer(tokenRequest("eleitor1", "demo1")), "a;b;c;d;e;f;g");
    server.scriptAnswer(ReferenceServer::SmvPath, "error lowercase", 503);
    EXPECT_EQ(castVote("T", "V"), "ERROR_503_Service Unavailable");
    EXPECT_TRUE(server.database().issuedTokens().empty());
    EXPECT_TRUE(server.database().ballotBox().empty());

    server.clearScriptedAnswers();
    EXPECT_EQ(obtainToken("eleitor1", "demo1").electionId, "ARDENAX-DEMO");
    EXPECT_EQ(server.receivedForms().size(), 8U);
}

// What a page developer reads beside the endpoints: the cards with their
// candidates, the ballot box, and the voting page itself.
TEST(ReferenceServerPages, ServeElectionBallotBoxAndStaticPages) {
    const testing::TempDir home;
    std::ofstream(home.path() / "index.html") << "<p>Votar</p>";
    ReferenceServer server({.database = home.path() / "e.db", .webRoot = home.path()});
    httplib::SSLClient client("127.0.0.1", server.port());
    client.enable_server_certificate_verification(false);

    const auto election = client.Get("/election.json");
    ASSERT_TRUE(election);
    EXPECT_EQ(election->get_header_value("Content-Type"), "application/json");
    EXPECT_EQ(nlohmann::json::parse(election->body)["cards"][2],
              nlohmann::json::parse(R"({"id":"BOT_Referendo","name":"Referendo","slots":2,
                                        "candidates":["Sim","Não"]})"));
    const auto box = client.Get("/ballot-box.json");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->body, R"({"votes":[]})");
    const auto page = client.Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->body, "<p>Votar</p>");
}

}  // namespace
}  // namespace ardenax::server
