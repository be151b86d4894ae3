#include <gtest/gtest.h>

#include "common/Failures.h"
#include "vote/XmlVoteManager.h"

namespace ardenax {
namespace {

std::shared_ptr<VotingCards> card(const Text& id, std::vector<Text> choices) {
    auto made = std::make_shared<VotingCards>();
    made->Id(id);
    made->setChoices(std::move(choices));
    return made;
}

Vote vote(const Vote::CardList& cards, const Text& random = u"R", const Text& potency = u"1") {
    Vote made;
    made.VotingCards(cards);
    made.Random(random);
    made.Potency(potency);
    return made;
}

constexpr TextView kHead =
    u"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Vote version=\"1.0\">\r\n";

TEST(XmlVoteManager, WritesTheWorkedExampleByteForByteAndLoadsNoVote) {
    const auto cards = std::vector{card(u"BOT_1", {u"2", u""}), card(u"BOT_2", {u"4"})};
    const auto xml = XmlVoteManager::Store(vote(cards));
    EXPECT_EQ(xml, Text(kHead) +
                       u"<VotingCards id=\"BOT_1\"><Choice>2</Choice></VotingCards>\r\n"
                       u"<VotingCards id=\"BOT_1\"><Choice></Choice></VotingCards>\r\n"
                       u"<VotingCards id=\"BOT_2\"><Choice>4</Choice></VotingCards>\r\n"
                       u"<Random>R</Random>\r\n"
                       u"<Potency>1</Potency>\r\n"
                       u"</Vote>");
    EXPECT_EQ(XmlVoteManager::Load(xml), nullptr);
    EXPECT_EQ(XmlVoteManager::Load(u""), nullptr);
}

// Null entries and empty choice lists write no line; values stay untrimmed;
// markup is escaped, so a choice cannot inject elements.
TEST(XmlVoteManager, WritesEveryChoiceEntryAsItIsWithMarkupEscaped) {
    const auto cards = std::vector{
        std::shared_ptr<VotingCards>{}, card(u"BOT_1", {}), card(u" 7 ", {u"  "}),
        card(u"\t", {u"x"}),
        card(u"BOT_\"A\"", {u"x</Choice></VotingCards><VotingCards id=\"BOT_B\"><Choice>y"})};
    EXPECT_EQ(XmlVoteManager::Store(vote(cards, u"<r>", u"&")),
              Text(kHead) + u"<VotingCards id=\" 7 \"><Choice>  </Choice></VotingCards>\r\n" +
                  u"<VotingCards id=\"&#9;\"><Choice>x</Choice></VotingCards>\r\n" +
                  u"<VotingCards id=\"BOT_&quot;A&quot;\"><Choice>x&lt;/Choice&gt;&lt;/"
                  u"VotingCards&gt;&lt;VotingCards id=&quot;BOT_B&quot;&gt;&lt;Choice&gt;y"
                  u"</Choice></VotingCards>\r\n"
                  u"<Random>&lt;r&gt;</Random>\r\n<Potency>&amp;</Potency>\r\n</Vote>");
}

TEST(XmlVoteManager, BlankIdentifierIsError55AndAbsentListsAreOutOfRange) {
    const auto good = card(u"BOT_1", {u"a"});
    const auto blank = card(u" ", {u"b"});
    for (const auto& cards :
         {std::vector{good, blank}, std::vector{blank, good}, std::vector{card(u"", {u"a"})}}) {
        EXPECT_EQ(XmlVoteManager::Store(vote(cards)), u"ERROR55");
    }
    EXPECT_EQ(testing::failureNumber([] { XmlVoteManager::Store(Vote()); }),
              Failure::SubscriptOutOfRange);
    auto noChoices = std::make_shared<VotingCards>();
    noChoices->Id(u"BOT_1");
    EXPECT_EQ(testing::failureNumber([&] { XmlVoteManager::Store(vote(std::vector{noChoices})); }),
              Failure::SubscriptOutOfRange);
}

// The document stays ISO-8859-1: Latin-1 as it is, other characters as
// references, characters XML forbids as '?'. A reader would change a raw CR,
// and in an attribute a tab or line feed too: they go as references.
TEST(XmlVoteManager, KeepsLatin1AndReferencesOrReplacesEverythingElse) {
    EXPECT_EQ(XmlVoteManager::escape(u"João ÿ\u00A0 a\tb\r\nc"), u"João ÿ\u00A0 a\tb&#13;\nc");
    EXPECT_EQ(XmlVoteManager::escape(u"a\tb\r\nc", true), u"a&#9;b&#13;&#10;c");
    EXPECT_EQ(XmlVoteManager::escape(u"€ Ā \u007F \u0080 😀"),
              u"&#8364; &#256; &#127; &#128; &#128512;");
    EXPECT_EQ(XmlVoteManager::escape(Text(u"a") + char16_t{0x01} + char16_t{0xD800} + u"x" +
                                     char16_t{0xDC00} + char16_t{0xFFFE}),
              u"a??x??");
}

}  // namespace
}  // namespace ardenax
