#include <gtest/gtest.h>

#include "support/Split.h"

namespace ardenax {
namespace {

using Pieces = std::vector<Text>;

TEST(Split, KeepsEmptyPiecesHasNoLimitAndDoesNotOverlap) {
    EXPECT_EQ(split(u"", u"###", LetterCase::Exact), Pieces{});
    EXPECT_EQ(split(u"a=1###b=2", u"###", LetterCase::Exact), (Pieces{u"a=1", u"b=2"}));
    EXPECT_EQ(split(u"a###", u"###", LetterCase::Exact), (Pieces{u"a", u""}));
    EXPECT_EQ(split(u"###", u"###", LetterCase::Exact), (Pieces{u"", u""}));
    EXPECT_EQ(split(u"a,b,c,d,e", u",", LetterCase::Exact), (Pieces{u"a", u"b", u"c", u"d", u"e"}));
    EXPECT_EQ(split(u"abc", u";", LetterCase::Exact), (Pieces{u"abc"}));
    EXPECT_EQ(split(u"a####b", u"##", LetterCase::Exact), (Pieces{u"a", u"", u"b"}));
    EXPECT_EQ(split(u"a#####b", u"##", LetterCase::Exact), (Pieces{u"a", u"", u"#b"}));
    EXPECT_EQ(split(u"abc", u"", LetterCase::Ignore), (Pieces{u"abc"}));
}

TEST(Split, IgnoringCaseMatchesBothFormsOfLettersAndKeepsTheOriginalText) {
    EXPECT_EQ(split(u"oneXtwoxThree", u"x", LetterCase::Ignore),
              (Pieces{u"one", u"two", u"Three"}));
    EXPECT_EQ(split(u"oneXtwoxThree", u"x", LetterCase::Exact), (Pieces{u"oneXtwo", u"Three"}));
    EXPECT_EQ(split(u"aÉb", u"é", LetterCase::Ignore), (Pieces{u"a", u"b"}));
    EXPECT_EQ(split(u"aSEPbsepc", u"Sep", LetterCase::Ignore), (Pieces{u"a", u"b", u"c"}));
}

}  // namespace
}  // namespace ardenax
