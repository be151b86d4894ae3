#include <gtest/gtest.h>

#include "common/Failures.h"
#include "server/ElectionFiles.h"

namespace ardenax::server {
namespace {

std::string faultOf(const std::function<void()>& read) {
    const auto failure = testing::failureOf(read);
    return failure ? toUtf8(failure->description()) : "";
}

TEST(ElectionFiles, ReadCardsAndVotersAsAnOperatorWritesThem) {
    const auto setup = readCards(R"({"id": "E", "potency": "1", "cards": [
        {"name": "Presidente", "slots": 1, "candidates": ["Ana", "Bruno"]},
        {"name": "Livre", "slots": 2, "candidates": []}]})",
                                 "cards.json");
    EXPECT_EQ(setup.id, "E");
    EXPECT_EQ(setup.cards,
              (std::vector<BallotCard>{{"Presidente", 1, {"Ana", "Bruno"}}, {"Livre", 2, {}}}));
    EXPECT_EQ(readVoters("login,password,name\r\nana,a1,\"Ana \"\"A\"\", Sousa\"\r\n\nbea,b,Bea\n",
                         "voters.csv"),
              (std::vector<Voter>{{"ana", "a1", "Ana \"A\", Sousa"}, {"bea", "b", "Bea"}}));
}

// The first fault is named by file, card or line, and field.
TEST(ElectionFiles, NameTheFaultTheyMeet) {
    for (const auto& row : std::vector<std::pair<std::string, std::string>>{
             {"[1]", "cards.json: not a JSON object"},
             {R"({"potency": "1", "cards": []})",
              "cards.json: \"id\" must be a text that is not empty"},
             {R"({"id": "E", "potency": "1", "cards": []})",
              "cards.json: \"cards\" must be a list of at least one card"},
             {R"({"id": "E", "potency": "1", "cards": [{"name": "A", "slots": 1,
                  "candidates": []}, {"name": "B", "slots": 0, "candidates": []}]})",
              "cards.json, card 2: \"slots\" must be a whole number from 1 to 32767"},
             {R"({"id": "E", "potency": "1", "cards": [{"name": "A", "slots": 1,
                  "candidates": ["X", 7]}]})",
              "cards.json, card 1: candidate 2 must be a text that is not empty"}}) {
        const std::string& cards = row.first;
        EXPECT_EQ(faultOf([&] { readCards(cards, "cards.json"); }), row.second) << cards;
    }
    for (const auto& row : std::vector<std::pair<std::string, std::string>>{
             {"", "voters.csv: no voter"},
             {"ana,a1,Ana\nbea,b\n",
              "voters.csv, line 2: a voter is login,password,name: 2 fields"},
             {"ana,,Ana\n", "voters.csv, line 1: the password is empty"},
             {"ana,a1,\"Ana\n", "voters.csv, line 1: a quote is not closed"}}) {
        const std::string& voters = row.first;
        EXPECT_EQ(faultOf([&] { readVoters(voters, "voters.csv"); }), row.second) << voters;
    }
}

}  // namespace
}  // namespace ardenax::server
