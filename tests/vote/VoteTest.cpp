#include <gtest/gtest.h>

#include "vote/Vote.h"

namespace ardenax {
namespace {

TEST(Vote, NewVoteHasVersionOneAndNoCardList) {
    const Vote vote;
    EXPECT_EQ(vote.Version(), u"1.0");
    EXPECT_EQ(vote.Random(), u"");
    EXPECT_EQ(vote.Potency(), u"");
    EXPECT_FALSE(vote.VotingCards().has_value());
}

TEST(Vote, CardListIsCopiedButCardsAreShared) {
    auto card = std::make_shared<VotingCards>();
    Vote::CardList cards = std::vector{card, std::shared_ptr<VotingCards>{}};
    Vote vote;
    vote.VotingCards(cards);
    (*cards)[1] = std::make_shared<VotingCards>();
    card->Id(u"BOT_1");
    ASSERT_EQ(vote.VotingCards()->size(), 2U);
    EXPECT_EQ((*vote.VotingCards())[0]->Id(), u"BOT_1");
    EXPECT_EQ((*vote.VotingCards())[1], nullptr);
}

TEST(VotingCards, AbsentChoicesDifferFromAnEmptyListAndAreCopied) {
    VotingCards card;
    EXPECT_FALSE(card.Choices().has_value());
    std::vector<Text> choices{u"A"};
    card.setChoices(choices);
    choices[0] = u"changed";
    EXPECT_EQ(card.Choices(), (std::vector<Text>{u"A"}));
    card.Choices(std::vector<Text>{});
    EXPECT_EQ(card.Choices(), std::vector<Text>{});
}

}  // namespace
}  // namespace ardenax
