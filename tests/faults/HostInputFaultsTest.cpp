// Hostile and broken input on the host's standard input, through the real
// channels: every case gets an error reply (or the call's own result) and the
// host goes on, or ends cleanly when the stream itself is broken.
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "HostSession.h"
#include "JsonLinesChannel.h"
#include "NativeMessagingChannel.h"
#include "control/ControlFixture.h"

namespace ardenax::host {
namespace {

using nlohmann::json;

constexpr std::int32_t Invalid = static_cast<std::int32_t>(0x80070057U);
const json Version = {{"id", 2}, {"result", "2.1.0.2239"}, {"kind", "ok"}};
const std::string AskVersion = R"({"id":2,"method":"getVersion"})";

std::string framed(const std::string& message) {
    const auto n = static_cast<std::uint32_t>(message.size());
    return std::string{static_cast<char>(n & 0xFFU), static_cast<char>((n >> 8U) & 0xFFU),
                       static_cast<char>((n >> 16U) & 0xFFU), static_cast<char>(n >> 24U)} +
           message;
}

json error(const json& id, std::int32_t number) {
    return {{"id", id}, {"number", number}};
}

// The replies as compared here: results whole, errors by id and number.
json brief(const json& reply) {
    return reply.contains("error") ? error(reply["id"], reply["error"]["number"]) : reply;
}

class HostInputFaults : public testing::ControlFixture {
protected:
    template <class ChannelType>
    std::vector<json> serve(const std::string& input) {
        std::istringstream in(input);
        std::ostringstream out;
        ChannelType channel(in, out);
        std::ostringstream log;
        HostSession session(channel, {}, log);
        Environment env = environment();
        env.messageBox = session.messageBox();
        VotingX control(env, fakes());
        exitCode = session.run(control);
        std::istringstream written(out.str());
        ChannelType reader(written, out);
        std::vector<json> replies;
        while (const auto reply = reader.read()) {
            replies.push_back(brief(json::parse(*reply)));
        }
        return replies;
    }

    int exitCode = -1;
};

TEST_F(HostInputFaults, HostileRequestsGetAnErrorAndTheHostGoesOn) {
    const std::string deepId(100000, '[');
    const std::string deepEnd(100000, ']');
    const auto replies = serve<JsonLinesChannel>(
        R"({"id":)" + deepId + deepEnd + R"(,"method":"getVersion"})" + "\n" +
        // 0x160030007 would be getVersion's dispatch ID once cut to 32 bits.
        R"({"id":1,"dispid":5905776647})" + "\n" + R"({"id":1,"dispid":-2684157945})" + "\n" +
        AskVersion + "\n");
    const std::int32_t notFound = static_cast<std::int32_t>(0x80020003U);
    EXPECT_EQ(replies, (std::vector<json>{error(nullptr, Invalid), error(1, notFound),
                                          error(1, notFound), Version}));
    EXPECT_EQ(exitCode, 0);
}

TEST_F(HostInputFaults, OnlyTrueClosesAMessageBox) {
    script->failNext = {"obtainToken", Failure(5, u"X")};
    const auto replies = serve<JsonLinesChannel>(R"({"id":9,"method":"obtainToken","args":["a=b"]}
{"id":9,"messageBoxClosed":1}
{"id":9,"messageBoxClosed":"true"}
{"id":9,"messageBoxClosed":null}
{"id":9,"messageBoxClosed":true}
{"id":2,"method":"getVersion"}
)");
    ASSERT_EQ(replies.size(), 6U);
    EXPECT_TRUE(replies[0].contains("messageBox"));
    EXPECT_EQ(std::vector<json>(replies.begin() + 1, replies.begin() + 4),
              std::vector<json>(3, error(9, Invalid)));
    EXPECT_EQ(replies[4], (json{{"id", 9}, {"result", "ERROR_obtainToken"}, {"kind", "failed"}}));
    EXPECT_EQ(replies[5], Version);
}

TEST_F(HostInputFaults, BrokenNativeFramingIsRefused) {
    const std::string request = R"({"id":1,"method":"getVersion"})";
    struct Case {
        std::string input;
        std::vector<json> replies;
        int exitCode;
    };
    const std::vector<Case> cases = {
        // Bytes after a NUL inside the message's length.
        {framed(request + std::string(1, '\0') + "junk") + framed(AskVersion),
         {error(nullptr, Invalid), Version},
         0},
        {std::string("\xFF\xFF\xFF\x7F", 4) + request, {error(nullptr, Invalid)}, 1},
        {framed(request).substr(0, 10), {error(nullptr, Invalid)}, 1},
        {framed(request).substr(0, 3), {error(nullptr, Invalid)}, 1},
    };
    for (const auto& [input, expected, code] : cases) {
        EXPECT_EQ(serve<NativeMessagingChannel>(input), expected)
            << ::testing::PrintToString(input);
        EXPECT_EQ(exitCode, code);
    }
}

TEST_F(HostInputFaults, InputClosedWhileABoxWaitsLetsTheCallFinish) {
    script->failNext = {"setPINHash", Failure(5, u"X")};
    const auto replies =
        serve<NativeMessagingChannel>(framed(R"({"id":1,"method":"setPINHash","args":["1"]})"));
    ASSERT_EQ(replies.size(), 2U);
    EXPECT_EQ(replies[1], (json{{"id", 1}, {"result", "ERROR_setPINHash"}, {"kind", "failed"}}));
    EXPECT_EQ(exitCode, 0);
}

}  // namespace
}  // namespace ardenax::host
