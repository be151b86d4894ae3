#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "common/RecordingMessageBox.h"
#include "common/TempDir.h"
#include "crypto/X509Manager.h"
#include "crypto/toolkit/CertificateStore.h"
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
    EXPECT_EQ(receive(), (json{{"id", 1}, {"result", ""}, {"kind", "failed"}}));

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

// A variable the browser's environment got wrong is ignored, with a line in
// the browser's log; what keeps the host from starting (a flag) is told to
// the page in one error reply to its opening, and the host ends with 1.
TEST(HostStart, BadVariablesAreIgnoredAndSaidAFailureToStartIsOneErrorReply) {
    const testing::TempDir dir;
    const std::string log = (dir.path() / "log").string();
    const auto start = [&](const std::vector<std::string>& settings) {
        std::vector<std::string> args = {"-c", "exec \"$@\" 2>\"$0\"", log};
        args.insert(args.end(), settings.begin(), settings.end());
        return std::make_unique<testing::ChildProcess>("/bin/sh", args);
    };
    const auto logged = [&] {
        std::ifstream in(log);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string opening = framed(R"({"origin":"https://127.0.0.1:8443"})");
    for (const auto& [variable, line] : std::vector<std::pair<std::string, std::string>>{
             {"ARDENAX_ALLOWED_ORIGINS=*",
              "ardenax-host: ARDENAX_ALLOWED_ORIGINS is ignored: \"*\" is not an origin pattern"},
             {"ARDENAX_TIMEOUT_S=abc",
              "ardenax-host: ARDENAX_TIMEOUT_S is ignored: ARDENAX_TIMEOUT_S wants a whole number "
              "of seconds from 1 to 86400, not \"abc\"\n"},
             {"ARDENAX_CA_FILE=/nonexistent/ca.pem",
              "ardenax-host: ARDENAX_CA_FILE is ignored: the CA file /nonexistent/ca.pem cannot "
              "be read\n"}}) {
        const auto host = start({"/usr/bin/env", variable, ARDENAX_HOST_PROGRAM});
        host->write(opening);
        EXPECT_EQ(receiveFrom(*host),
                  (json{{"origin", "https://127.0.0.1:8443"}, {"accepted", true}}));
        host->closeInput();
        EXPECT_EQ(host->wait(), 0) << variable;
        EXPECT_TRUE(logged().starts_with(line)) << logged();
    }
    const auto host = start({ARDENAX_HOST_PROGRAM, "--ca-file", "/nonexistent/ca.pem"});
    host->write(opening);
    const json reply = receiveFrom(*host);
    EXPECT_EQ(reply.value("id", json(0)), nullptr) << reply;
    EXPECT_EQ(reply["error"].value("description", ""),
              "the CA file /nonexistent/ca.pem cannot be read");
    EXPECT_EQ(receiveFrom(*host), nullptr);
    EXPECT_EQ(host->wait(), 1);
}

// A control that ended without its session's end (a crash) left its key in
// the store; the next host's start removes it, and only what is that old.
TEST(HostStart, RemovesWhatEarlierControlsLeftBehind) {
    const testing::TempDir dir;
    const auto stores = dir.path() / "stores";
    Environment env;
    env.messageBox = std::make_shared<testing::RecordingMessageBox>();
    env.storeRoot = stores;
    X509Manager(env).GenerateCertificate();
    const auto recent = X509Manager(env).GenerateCertificate();
    // The store names its files in the order they came.
    std::vector<std::filesystem::path> files;
    for (const auto& file : std::filesystem::directory_iterator(stores / "REQUEST")) {
        files.push_back(file.path());
    }
    std::sort(files.begin(), files.end());
    std::filesystem::last_write_time(
        files.at(0), std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
    testing::ChildProcess host(ARDENAX_HOST_PROGRAM, {"--jsonl", "--store-dir", stores.string()});
    host.write(R"({"id":1,"method":"getVersion"})"
               "\n");
    EXPECT_EQ(host.readLine(), R"({"id":1,"kind":"ok","result":"2.1.0.2239"})");
    const auto kept = toolkit::CertificateStore(stores, u"REQUEST", toolkit::StoreAccess::ReadOnly)
                          .certificates();
    ASSERT_EQ(kept.size(), 1U);
    EXPECT_EQ(kept[0]->thumbprint(), recent->thumbprint());
    host.closeInput();
    EXPECT_EQ(host.wait(), 0);
}

TEST(Programs, AnswerInJsonLinesAndEndWithStatusOneOnAnyException) {
    testing::ChildProcess lines(ARDENAX_HOST_PROGRAM, {"--jsonl"});
    lines.write(R"({"id":1,"method":"getVersion"})"
                "\n");
    EXPECT_EQ(lines.readLine(), R"({"id":1,"kind":"ok","result":"2.1.0.2239"})");
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
