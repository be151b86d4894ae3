#include <deque>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "HostSession.h"
#include "control/ControlFixture.h"

namespace ardenax::host {
namespace {

using nlohmann::json;

// Hands out scripted requests and keeps every message written. After the
// last request the input ends, or breaks its framing when `breaks` is set.
class ScriptedChannel final : public Channel {
public:
    explicit ScriptedChannel(std::deque<std::string> incoming,
                             std::size_t limit = std::string::npos, bool breaks = false)
        : incoming_(std::move(incoming)), limit_(limit), breaks_(breaks) {}

    std::optional<std::string> read() override {
        if (incoming_.empty() && breaks_) {
            throw FramingError("the input ended inside a message");
        }
        if (incoming_.empty()) {
            return std::nullopt;
        }
        std::string next = incoming_.front();
        incoming_.pop_front();
        return next;
    }
    void write(const std::string& message) override { written.push_back(json::parse(message)); }
    std::size_t maxOutgoing() const override { return limit_; }

    std::vector<json> written;

private:
    std::deque<std::string> incoming_;
    std::size_t limit_;
    bool breaks_;
};

class HostSessionTest : public testing::ControlFixture {
protected:
    std::vector<json> serve(std::deque<std::string> requests, HostSession::Options options = {},
                            std::size_t limit = std::string::npos, bool breaks = false) {
        ScriptedChannel channel(std::move(requests), limit, breaks);
        HostSession session(channel, options);
        Environment env = environment();
        env.messageBox = session.messageBox();
        VotingX control(env, fakes());
        exitCode = session.run(control);
        return channel.written;
    }

    // Opens a browser session with `opening`, then serves the rest if admitted.
    std::vector<json> serveAfter(const std::string& opening, std::deque<std::string> requests) {
        requests.push_front(opening);
        ScriptedChannel channel(std::move(requests));
        HostSession session(channel, {});
        admitted = session.admit(OriginPolicy::votingOrigins("https://vote.example"));
        if (admitted) {
            VotingX control(environment(), fakes());
            exitCode = session.run(control);
        }
        return channel.written;
    }

    int exitCode = -1;
    bool admitted = false;
};

// Compares an error reply on its id and number only.
void expectError(const json& reply, const json& id, std::int32_t number) {
    EXPECT_EQ(reply.at("id"), id) << reply;
    EXPECT_EQ(reply.at("error").at("number"), number) << reply;
}

TEST_F(HostSessionTest, AnswersByNameOrDispidAndEchoesAnyId) {
    const auto replies = serve({R"({"id":"a","method":"getVersion"})",
                                R"({"id":[1,{"x":2}],"dispid":1610809351,"args":[]})",
                                R"({"id":3,"method":"setChoice","args":["BOT_A","A","x"]})"});
    ASSERT_EQ(replies.size(), 3U);
    EXPECT_EQ(replies[0], (json{{"id", "a"}, {"result", "2.1.0.2239"}}));
    EXPECT_EQ(replies[1], (json{{"id", json::parse(R"([1,{"x":2}])")}, {"result", "2.1.0.2239"}}));
    EXPECT_EQ(replies[2], (json{{"id", 3}, {"result", "result"}}));
    EXPECT_EQ(script->journal.back(), "setChoice@1");
    EXPECT_EQ(exitCode, 0);
}

TEST_F(HostSessionTest, MalformedRequestsGetErrorsAndTheHostGoesOn) {
    const auto replies =
        serve({"not json", "[1]", R"({"method":"getVersion"})", R"({"id":1})",
               R"({"id":2,"method":"nope"})", R"({"id":4,"method":"obtainToken","args":[7]})",
               R"({"id":5,"method":7})", R"({"id":6,"args":"x","method":"getVersion"})",
               R"({"id":7,"method":"getVersion"})"});
    ASSERT_EQ(replies.size(), 9U);
    const std::int32_t invalid = Failure::E_InvalidArg;
    expectError(replies[0], nullptr, invalid);
    expectError(replies[1], nullptr, invalid);
    expectError(replies[2], nullptr, invalid);
    expectError(replies[3], nullptr, invalid);
    // An unknown name and an argument that is not text are automation errors.
    expectError(replies[4], 2, Failure::DispUnknownName);
    expectError(replies[5], 4, Failure::DispTypeMismatch);
    expectError(replies[6], 5, invalid);
    expectError(replies[7], 6, invalid);
    EXPECT_EQ(replies[8], (json{{"id", 7}, {"result", "2.1.0.2239"}}));
    EXPECT_EQ(script->journal.size(), 13U);  // only the creation's reset reached the platform
}

TEST_F(HostSessionTest, MessageBoxWaitsForItsCloseAndRefusesOtherRequestsMeanwhile) {
    script->failNext = {"obtainToken", Failure(5, u"X")};
    const auto replies =
        serve({R"({"id":9,"method":"obtainToken","args":["a=b"]})",
               R"({"id":10,"method":"getVersion"})", R"({"id":8,"messageBoxClosed":true})",
               R"({"id":9,"messageBoxClosed":true})", R"({"id":11,"method":"getVersion"})"});
    ASSERT_EQ(replies.size(), 5U);
    EXPECT_EQ(replies[0], (json{{"id", 9},
                                {"messageBox",
                                 {{"caption", "ArdenaX"},
                                  {"text", "Erro ao obter token [plataforma]: \r\n5\r\nX"}}}}));
    expectError(replies[1], 10, Failure::E_InvalidArg);
    expectError(replies[2], 8, Failure::E_InvalidArg);
    EXPECT_EQ(replies[3], (json{{"id", 9}, {"result", "ERROR_obtainToken"}}));
    EXPECT_EQ(replies[4], (json{{"id", 11}, {"result", "2.1.0.2239"}}));
}

TEST_F(HostSessionTest, AutoClosedBoxesDoNotWait) {
    script->failNext = {"getCurrentPINHash", Failure(6, u"Overflow")};
    const auto replies =
        serve({R"({"id":1,"method":"getCurrentPINHash"})", R"({"id":2,"method":"getVersion"})"},
              {.autoCloseMessageBoxes = true});
    ASSERT_EQ(replies.size(), 3U);
    EXPECT_TRUE(replies[0].contains("messageBox"));
    EXPECT_EQ(replies[1], (json{{"id", 1}, {"result", "ERROR_getCurrentPINHash"}}));
    EXPECT_EQ(replies[2], (json{{"id", 2}, {"result", "2.1.0.2239"}}));
}

// Nobody is left to close the box: the call still ends with its own result,
// and input that broke its framing then ends the session with an error.
TEST_F(HostSessionTest, InputThatEndsOrBreaksDuringABoxLetsTheCallFinish) {
    for (const bool breaks : {false, true}) {
        script->failNext = {"setPINHash", Failure(5, u"X")};
        const auto replies = serve({R"({"id":1,"method":"setPINHash","args":["1"]})"}, {},
                                   std::string::npos, breaks);
        ASSERT_EQ(replies.size(), breaks ? 3U : 2U) << breaks;
        EXPECT_EQ(replies[1], (json{{"id", 1}, {"result", "ERROR_setPINHash"}}));
        if (breaks) {
            expectError(replies[2], nullptr, Failure::E_InvalidArg);
        }
        EXPECT_EQ(exitCode, breaks ? 1 : 0);
    }
}

TEST_F(HostSessionTest, ResetFailureReachesTheCallerAsAnError) {
    const auto replies = serve({R"({"id":1,"method":"resetState"})"});
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0], (json{{"id", 1}, {"result", "OK"}}));
    script->failNext = {"removeCertificate", Failure(70, u"Permission denied")};
    const auto failed = serve({R"({"id":2,"method":"resetState"})"});
    ASSERT_EQ(failed.size(), 1U);
    EXPECT_EQ(failed[0]["error"],
              (json{{"number", 70}, {"description", "Permission denied"}, {"source", "ArdenaX"}}));
}

TEST_F(HostSessionTest, BrowserSessionOpensWithAnAllowedOrigin) {
    const auto replies =
        serveAfter(R"({"origin":"https://vote.example"})", {R"({"id":1,"method":"getVersion"})"});
    ASSERT_EQ(replies.size(), 2U);
    EXPECT_EQ(replies[0], (json{{"origin", "https://vote.example"}, {"accepted", true}}));
    EXPECT_EQ(replies[1], (json{{"id", 1}, {"result", "2.1.0.2239"}}));
    EXPECT_TRUE(admitted);
}

TEST_F(HostSessionTest, RefusedOpeningsGetOneErrorAndNoControl) {
    const std::int32_t denied = Failure::E_AccessDenied;
    const std::int32_t invalid = Failure::E_InvalidArg;
    for (const auto& [opening, number] : std::vector<std::pair<std::string, std::int32_t>>{
             {R"({"origin":"https://evil.example"})", denied},
             {R"({"origin":"http://vote.example"})", denied},
             {R"({"id":1,"method":"getVersion"})", invalid},
             {R"({"origin":7})", invalid},
             {"not json", invalid}}) {
        const auto replies = serveAfter(opening, {R"({"id":2,"method":"getVersion"})"});
        EXPECT_FALSE(admitted) << opening;
        ASSERT_EQ(replies.size(), 1U) << opening;
        expectError(replies[0], nullptr, number);
    }
    EXPECT_EQ(script->journal.size(), 0U);  // no control was made
}

TEST_F(HostSessionTest, OversizedReplyBecomesAnError) {
    script->result = Text(2000, u'x');
    const auto replies = serve({R"({"id":1,"method":"getCurrentToken"})"}, {}, 1000);
    ASSERT_EQ(replies.size(), 1U);
    expectError(replies[0], 1, Failure::E_InvalidArg);
}

}  // namespace
}  // namespace ardenax::host
