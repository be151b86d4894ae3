#include <algorithm>
#include <deque>
#include <sstream>

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
    void write(const std::string& message) override {
        EXPECT_LE(message.size(), limit_) << "a message over the limit was written";
        written.push_back(json::parse(message));
    }
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
        HostSession session(channel, options, log);
        Environment env = environment();
        env.messageBox = session.messageBox();
        VotingX control(env, fakes());
        exitCode = session.run(control);
        return channel.written;
    }

    // Opens a browser session with `opening`, then serves the rest if admitted.
    std::vector<json> serveAfter(const std::string& opening, std::deque<std::string> requests,
                                 const std::optional<Failure>& cannotStart = {}) {
        requests.push_front(opening);
        ScriptedChannel channel(std::move(requests));
        HostSession session(channel, {}, log);
        admitted = session.admit(OriginPolicy::votingOrigins("https://vote.example"), cannotStart);
        if (admitted) {
            VotingX control(environment(), fakes());
            exitCode = session.run(control);
        }
        return channel.written;
    }

    int exitCode = -1;
    bool admitted = false;
    std::ostringstream log;
};

// Compares an error reply on its id and number only.
void expectError(const json& reply, const json& id, std::int32_t number) {
    EXPECT_EQ(reply.at("id"), id) << reply;
    EXPECT_EQ(reply.at("error").at("number"), number) << reply;
}

TEST_F(HostSessionTest, AnswersByNameOrDispidEchoesAnyIdAndRefusesMalformedRequests) {
    const std::vector<std::pair<std::string, json>> exchanges = {
        {R"({"id":"a","method":"getVersion"})",
         {{"id", "a"}, {"result", "2.1.0.2239"}, {"kind", "ok"}}},
        {R"({"id":[1,{"x":2}],"dispid":1610809351,"args":[]})",
         {{"id", json::parse(R"([1,{"x":2}])")}, {"result", "2.1.0.2239"}, {"kind", "ok"}}},
        {R"({"id":3,"method":"setChoice","args":["BOT_A","A","x"]})",
         {{"id", 3}, {"result", "result"}, {"kind", "ok"}}},
        // An accepted vote's confirmation carries the vote's receipt.
        {R"({"id":7,"method":"GETCONFIRMATIONTEXT"})",
         {{"id", 7}, {"result", "confirmation"}, {"kind", "ok"}, {"receipt", "result"}}},
        {"not json", {{"id", nullptr}, {"number", Failure::E_InvalidArg}}},
        {"[1]", {{"id", nullptr}, {"number", Failure::E_InvalidArg}}},
        {R"({"method":"getVersion"})", {{"id", nullptr}, {"number", Failure::E_InvalidArg}}},
        {R"({"id":1})", {{"id", nullptr}, {"number", Failure::E_InvalidArg}}},
        {R"({"id":2,"method":"nope"})", {{"id", 2}, {"number", Failure::DispUnknownName}}},
        {R"({"id":4,"method":"obtainToken","args":[7]})",
         {{"id", 4}, {"number", Failure::DispTypeMismatch}}},
        {R"({"id":5,"method":7})", {{"id", 5}, {"number", Failure::E_InvalidArg}}},
        {R"({"id":6,"args":"x","method":"getVersion"})",
         {{"id", 6}, {"number", Failure::E_InvalidArg}}}};
    std::deque<std::string> requests;
    for (const auto& exchange : exchanges) {
        requests.push_back(exchange.first);
    }
    const auto replies = serve(requests);
    ASSERT_EQ(replies.size(), exchanges.size());
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const json& expected = exchanges[i].second;
        if (expected.contains("result")) {
            EXPECT_EQ(replies[i], expected) << exchanges[i].first;
        } else {
            expectError(replies[i], expected["id"], expected["number"]);
        }
    }
    // The end of the session ends the control: its certificate leaves the store.
    EXPECT_EQ(script->journal.back(), "removeCertificate@1");
    EXPECT_EQ(exitCode, 0);
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
    EXPECT_EQ(replies[3], (json{{"id", 9}, {"result", "ERROR_obtainToken"}, {"kind", "failed"}}));
    EXPECT_EQ(replies[4], (json{{"id", 11}, {"result", "2.1.0.2239"}, {"kind", "ok"}}));

    // Boxes closed at once do not wait for an answer.
    script->failNext = {"getCurrentPINHash", Failure(6, u"Overflow")};
    const auto autoClosed =
        serve({R"({"id":1,"method":"getCurrentPINHash"})"}, {.autoCloseMessageBoxes = true});
    ASSERT_EQ(autoClosed.size(), 2U);
    EXPECT_EQ(autoClosed[1],
              (json{{"id", 1}, {"result", "ERROR_getCurrentPINHash"}, {"kind", "failed"}}));
}

// Nobody is left to close the box: the call still ends with its own result,
// then input that broke its framing ends the session with an error (input
// that just ends: HostInputFaults).
TEST_F(HostSessionTest, InputThatBreaksDuringABoxLetsTheCallFinish) {
    script->failNext = {"setPINHash", Failure(5, u"X")};
    const auto replies =
        serve({R"({"id":1,"method":"setPINHash","args":["1"]})"}, {}, std::string::npos, true);
    ASSERT_EQ(replies.size(), 3U);
    EXPECT_EQ(replies[1], (json{{"id", 1}, {"result", "ERROR_setPINHash"}, {"kind", "failed"}}));
    expectError(replies[2], nullptr, Failure::E_InvalidArg);
    EXPECT_EQ(exitCode, 1);
}

TEST_F(HostSessionTest, ResetFailureReachesTheCallerAsAnError) {
    script->failNext = {"removeCertificate", Failure(70, u"Permission denied")};
    const auto failed = serve({R"({"id":2,"method":"resetState"})"});
    ASSERT_EQ(failed.size(), 1U);
    EXPECT_EQ(
        failed[0],
        (json{{"id", 2},
              {"error",
               {{"number", 70}, {"description", "Permission denied"}, {"source", "ArdenaX"}}}}));
    EXPECT_EQ(log.str(), "");

    script->failNext = {"removeCertificate", Failure(70, u"Permission denied")};
    EXPECT_EQ(serve({}).size(), 0U);
    EXPECT_EQ(log.str(),
              "ardenax-host: the voter's certificate could not be removed at the end: Permission "
              "denied\n");
}

// A browser's session opens with the page's origin; a refused one gets one
// error and no control at all.
TEST_F(HostSessionTest, BrowserSessionOpensOnlyWithAnAllowedOrigin) {
    const auto replies =
        serveAfter(R"({"origin":"https://vote.example"})", {R"({"id":1,"method":"getVersion"})"});
    EXPECT_TRUE(admitted);
    EXPECT_EQ(replies, (std::vector<json>{{{"origin", "https://vote.example"}, {"accepted", true}},
                                          {{"id", 1}, {"result", "2.1.0.2239"}, {"kind", "ok"}}}));
    script->journal.clear();
    // A host that cannot start says so once it knows the page may be told.
    const Failure noCa(5, u"the CA file /x cannot be read");
    for (const auto& [opening, number, cannotStart] :
         std::vector<std::tuple<std::string, std::int32_t, std::optional<Failure>>>{
             {R"({"origin":"https://vote.example"})", 5, noCa},
             {R"({"origin":"https://evil.example"})", Failure::E_AccessDenied, noCa},
             {R"({"origin":"http://vote.example"})", Failure::E_AccessDenied, {}},
             {R"({"id":1,"method":"getVersion"})", Failure::E_InvalidArg, {}},
             {R"({"origin":7})", Failure::E_InvalidArg, {}},
             {"not json", Failure::E_InvalidArg, {}}}) {
        log.str("");
        const auto refused =
            serveAfter(opening, {R"({"id":2,"method":"getVersion"})"}, cannotStart);
        EXPECT_FALSE(admitted) << opening;
        ASSERT_EQ(refused.size(), 1U) << opening;
        expectError(refused[0], nullptr, number);
        // One line in the browser's log, with what the page was told.
        EXPECT_EQ(log.str(),
                  "ardenax-host: " + refused[0]["error"]["description"].get<std::string>() + "\n");
    }
    EXPECT_TRUE(script->journal.empty());
}

// No reply is ever over the limit: one that would be becomes an error, with
// a null id when the id itself is what is too large.
// A refused vote, or none, has no receipt to show.
TEST_F(HostSessionTest, AConfirmationThatIsNoAcceptedVoteCarriesNoReceipt) {
    script->confirmation = Variant(u"ERROR votes are closed");
    const auto refused = serve({R"({"id":1,"method":"getConfirmationText"})"});
    EXPECT_EQ(refused.at(0),
              (json{{"id", 1}, {"result", "ERROR votes are closed"}, {"kind", "refused"}}));
    script->confirmation = Variant(u"confirmation");
    script->result = u"";
    const auto none = serve({R"({"id":2,"method":"getConfirmationText"})"});
    EXPECT_EQ(none.at(0), (json{{"id", 2}, {"result", "confirmation"}, {"kind", "ok"}}));
}

TEST_F(HostSessionTest, OversizedReplyBecomesAnError) {
    script->result = Text(2000, u'x');
    const std::string hugeId(2000, 'i');
    const auto replies = serve({R"({"id":1,"method":"getCurrentToken"})",
                                R"({"id":")" + hugeId + R"(","method":"getCurrentToken"})"},
                               {}, 1000);
    ASSERT_EQ(replies.size(), 2U);
    expectError(replies[0], 1, Failure::E_InvalidArg);
    expectError(replies[1], nullptr, Failure::E_InvalidArg);
}

}  // namespace
}  // namespace ardenax::host
