#include <filesystem>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "common/TempDir.h"
#include "server/ReferenceServer.h"

namespace ardenax {
namespace {

using nlohmann::json;

std::string framed(const std::string& message) {
    const auto n = static_cast<std::uint32_t>(message.size());
    return std::string{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                       static_cast<char>((n >> 16) & 0xFF), static_cast<char>(n >> 24)} +
           message;
}

// The next framed message of `host`, null once its output ended.
json receiveFrom(const testing::ChildProcess& host) {
    const auto header = host.read(4);
    std::uint32_t length = 0;
    for (int i = 3; header && i >= 0; --i) {
        length = (length << 8) | static_cast<unsigned char>((*header)[i]);
    }
    return header ? json::parse(host.read(length).value_or("")) : json();
}

// The built ardenax-host in a browser's session, talking to the reference
// servers with its settings from the command line.
class HostProcess : public ::testing::Test {
protected:
    HostProcess() { send({{"origin", "https://127.0.0.1:" + std::to_string(server.port())}}); }
    std::string writeCaFile() const {
        server.writeCaFile(home.path() / "ca.pem");
        return (home.path() / "ca.pem").string();
    }
    void send(const json& message) const { host.write(framed(message.dump())); }
    json receive() const { return receiveFrom(host); }
    json call(int id, const std::string& method, const json& args = json::array()) const {
        send({{"id", id}, {"method", method}, {"args", args}});
        return receive();
    }

    testing::TempDir home;
    server::ReferenceServer server{{.database = home.path() / "election.db"}};
    std::string caFile = writeCaFile();
    testing::ChildProcess host{ARDENAX_HOST_PROGRAM,
                               {"--promotor-url", server.promotorUrl(), "--smv-url",
                                server.smvUrl(), "--store-dir", (home.path() / "stores").string(),
                                "--ca-file", caFile, "--documents-dir", home.path().string()}};
};

TEST_F(HostProcess, GetsATokenShowsBoxesAndEndsOnAnImpossibleLength) {
    EXPECT_EQ(receive().value("accepted", false), true);
    EXPECT_EQ(call(1, "obtainToken", {"utilizador=eleitor2###"}),
              (json{{"id", 1},
                    {"messageBox",
                     {{"caption", "ArdenaX"},
                      {"text",
                       "Ocorreu um erro ao obter a autorização para a votação!\r\n"
                       "Tente novamente dentro de alguns momentos.\r\n\r\n"
                       "9\r\nSubscript out of range"}}}}));
    send({{"id", 1}, {"messageBoxClosed", true}});
    EXPECT_EQ(receive(), (json{{"id", 1}, {"result", ""}}));

    // A whole vote through the host is StoreFaults' (two hosts at once);
    // here the token's certificate is what the session's end must remove.
    const json token = call(2, "obtainToken", {"utilizador=eleitor2###senha=demo2"})["result"];
    EXPECT_EQ(token.get<std::string>().size(), 32U);
    ASSERT_FALSE(std::filesystem::is_empty(home.path() / "stores" / "REQUEST"));

    // A length no browser sends ends the host, after an error reply; the
    // voter's certificate and key end with the session.
    host.write(std::string("\xFF\xFF\xFF\x7F", 4));
    EXPECT_TRUE(receive().contains("error"));
    EXPECT_EQ(host.wait(), 1);
    EXPECT_TRUE(std::filesystem::is_empty(home.path() / "stores" / "REQUEST"));
}

// Whatever keeps the host from starting, the page is told why in one error
// reply to its opening, and the host ends with 1.
TEST(HostStart, EveryFailureToStartIsOneErrorReplyNamingIt) {
    const std::string wholeSeconds = " wants a whole number of seconds from 1 to 86400, not ";
    for (const auto& [variable, problem] : std::vector<std::pair<std::string, std::string>>{
             {"ARDENAX_ALLOWED_ORIGINS=*", "ARDENAX_ALLOWED_ORIGINS: \"*\" is not an origin"},
             {"ARDENAX_ALLOWED_ORIGINS=https://vote.example,",
              "ARDENAX_ALLOWED_ORIGINS: \"\" is not an origin"},
             {"ARDENAX_TIMEOUT_S=abc", "ARDENAX_TIMEOUT_S" + wholeSeconds + "\"abc\""},
             {"ARDENAX_CONNECT_TIMEOUT_S=0", "ARDENAX_CONNECT_TIMEOUT_S" + wholeSeconds + "\"0\""},
             {"ARDENAX_CA_FILE=/nonexistent/ca.pem",
              "the CA file /nonexistent/ca.pem cannot be read"}}) {
        testing::ChildProcess host("/usr/bin/env", {variable, ARDENAX_HOST_PROGRAM});
        host.write(framed(R"({"origin":"https://127.0.0.1:8443"})"));
        const json reply = receiveFrom(host);
        EXPECT_EQ(reply.value("id", json(0)), nullptr) << reply;
        EXPECT_TRUE(reply["error"].value("description", "").starts_with(problem)) << reply;
        EXPECT_EQ(receiveFrom(host), nullptr) << variable;
        EXPECT_EQ(host.wait(), 1) << variable;
    }
}

TEST(Programs, AnswerInJsonLinesAndEndWithStatusOneOnAnyException) {
    testing::ChildProcess lines(ARDENAX_HOST_PROGRAM, {"--jsonl"});
    lines.write(R"({"id":1,"method":"getVersion"})"
                "\n");
    EXPECT_EQ(lines.readLine(), R"({"id":1,"result":"2.1.0.2239"})");
    lines.closeInput();
    EXPECT_EQ(lines.wait(), 0);
    // Not a failure of the system's own: a message and status 1, not an abort.
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
}

}  // namespace
}  // namespace ardenax
