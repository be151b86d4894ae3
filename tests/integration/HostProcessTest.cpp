#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "common/TempDir.h"
#include "server/ReferenceServer.h"

namespace ardenax {
namespace {

using nlohmann::json;

constexpr const char* kConfirmation =
    "Tem a certeza que pretende votar da seguinte forma ?\r\n"
    "\r\nPresidente\r\n\tRita Fonseca\r\n"
    "\r\nAssembleia\r\n\tLista D\r\n\t(branco)\r\n\t(branco)\r\n"
    "\r\nReferendo\r\n\tSim\r\n\t(branco)\r\n";

std::string framed(const std::string& message) {
    const auto n = static_cast<std::uint32_t>(message.size());
    return std::string{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                       static_cast<char>((n >> 16) & 0xFF), static_cast<char>(n >> 24)} +
           message;
}

// The built ardenax-host as a child process, talking to the reference servers.
class HostProcess : public ::testing::Test {
protected:
    std::unique_ptr<testing::ChildProcess> startHost(bool jsonLines) {
        std::vector<std::string> args = {"--promotor-url",  server.promotorUrl(),
                                         "--smv-url",       server.smvUrl(),
                                         "--store-dir",     (home.path() / "stores").string(),
                                         "--ca-file",       (home.path() / "ca.pem").string(),
                                         "--documents-dir", home.path().string()};
        if (jsonLines) {
            args.insert(args.begin(), "--jsonl");
        }
        auto host = std::make_unique<testing::ChildProcess>(ARDENAX_HOST_PROGRAM, args);
        jsonLines_ = jsonLines;
        host_ = host.get();
        return host;
    }
    void send(const json& message) const {
        const std::string text = message.dump();
        host_->write(jsonLines_ ? text + "\n" : framed(text));
    }
    json receive() const {
        if (jsonLines_) {
            const auto line = host_->readLine();
            return line ? json::parse(*line) : json();
        }
        const auto header = host_->read(4);
        if (!header) {
            return {};
        }
        std::uint32_t length = 0;
        for (int i = 3; i >= 0; --i) {
            length =
                (length << 8) | static_cast<unsigned char>((*header)[static_cast<std::size_t>(i)]);
        }
        return json::parse(host_->read(length).value_or(""));
    }
    std::string call(int id, const std::string& method, const json& args = json::array()) const {
        send({{"id", id}, {"method", method}, {"args", args}});
        const json reply = receive();
        EXPECT_EQ(reply.value("id", -1), id) << reply;
        return reply.value("result", "<no result: " + reply.dump() + ">");
    }
    testing::TempDir home;
    server::ReferenceServer server{{.database = home.path() / "election.db"}};
    testing::ChildProcess* host_ = nullptr;
    bool jsonLines_ = true;

    void SetUp() override { server.writeCaFile(home.path() / "ca.pem"); }
};

// A browser's session: the host takes its settings from the command line,
// hands a message box to its caller and votes through the servers.
TEST_F(HostProcess, NativeMessagingVoteThenAnImpossibleLengthEndsTheHost) {
    auto host = startHost(false);
    send({{"origin", "https://127.0.0.1:" + std::to_string(server.port())}});
    EXPECT_EQ(receive().value("accepted", false), true);
    send({{"id", 1}, {"method", "obtainToken"}, {"args", {"utilizador=eleitor2###"}}});
    EXPECT_EQ(receive(), (json{{"id", 1},
                               {"messageBox",
                                {{"caption", "ArdenaX"},
                                 {"text",
                                  "Ocorreu um erro ao obter a autorização para a votação!\r\n"
                                  "Tente novamente dentro de alguns momentos.\r\n\r\n"
                                  "9\r\nSubscript out of range"}}}}));
    send({{"id", 1}, {"messageBoxClosed", true}});
    EXPECT_EQ(receive(), (json{{"id", 1}, {"result", ""}}));

    EXPECT_EQ(call(2, "obtainToken", {"utilizador=eleitor2###senha=demo2"}).size(), 32U);
    EXPECT_EQ(call(3, "setChoice", {"BOT_Presidente", "Presidente", "Rita Fonseca"}), "OK");
    EXPECT_EQ(call(4, "setChoice", {"BOT_Assembleia", "Assembleia", "Lista D"}), "OK");
    EXPECT_EQ(call(5, "setChoice", {"BOT_Referendo", "Referendo", "Sim"}), "OK");
    EXPECT_EQ(call(6, "setPINHash", {"0000"}).size(), 28U);
    EXPECT_EQ(call(7, "getConfirmationText"), kConfirmation);
    const auto counted = server.database().countedVotes();
    ASSERT_EQ(counted.size(), 1U);
    EXPECT_EQ(counted[0].login, "eleitor2");
    EXPECT_NE(counted[0].xml.find("<Choice>Rita Fonseca</Choice>"), std::string::npos);

    // A length no browser sends ends the host, after an error reply.
    host->write(std::string("\xFF\xFF\xFF\x7F", 4));
    EXPECT_TRUE(receive().contains("error"));
    EXPECT_EQ(host->wait(), 1);
}

TEST_F(HostProcess, JsonLinesAnswerUntilTheInputEnds) {
    auto host = startHost(true);
    EXPECT_EQ(call(1, "getVersion"), "2.1.0.2239");
    host->closeInput();
    EXPECT_EQ(host->wait(), 0);
}

// A failure that is not the system's own ends the program with a message and
// status 1, not with an abort.
TEST(Programs, EndWithStatusOneOnAnyException) {
    testing::ChildProcess serve(ARDENAX_PROGRAM, {"serve", "--db", ""});
    EXPECT_EQ(serve.wait(), 1);
}

TEST(Demo, RunsTheWholeRoadAndStoresTheVote) {
    testing::ChildProcess demo(ARDENAX_PROGRAM, {"demo"});
    std::string transcript;
    while (const auto line = demo.readLine()) {
        transcript += *line + "\n";
    }
    EXPECT_EQ(demo.wait(), 0) << transcript;
    EXPECT_NE(transcript.find("Ballot box    #1 OK, counts"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("Vote accepted and stored."), std::string::npos);
}

}  // namespace
}  // namespace ardenax
