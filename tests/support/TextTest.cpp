#include <gtest/gtest.h>

#include "support/Text.h"

namespace ardenax {
namespace {

TEST(Utf8, RoundTripsAcrossPlanesAndReplacesMalformedInput) {
    const Text text = u"Votação € 😀";
    EXPECT_EQ(toUtf8(text), "Vota\xC3\xA7\xC3\xA3o \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    // A stray byte, an overlong "/", an encoded surrogate, a truncated sequence.
    EXPECT_EQ(fromUtf8("a\xFF|\xC0\xAF|\xED\xA0\x80|\xE2\x82"), u"a\uFFFD|\uFFFD|\uFFFD|\uFFFD");
    EXPECT_EQ(toUtf8(Text(1, char16_t{0xD800})), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(Windows1252, MapsTheHighRangeBothWaysAndTheRestToOneQuestionMarkEach) {
    EXPECT_EQ(toAnsi(u"é€Ššÿ"), "\xE9\x80\x8A\x9A\xFF");
    EXPECT_EQ(fromAnsi("\xE9\x80\x8A\x9A\xFF"), u"é€Ššÿ");
    // Bytes the code page leaves undefined travel as the C1 control of that value.
    EXPECT_EQ(fromAnsi("\x81\x9D"), u"\u0081\u009D");
    EXPECT_EQ(toAnsi(u"\u0081\u009D"), "\x81\x9D");
    EXPECT_EQ(toAnsi(u"aāb x😀y"), "a?b x?y");
    EXPECT_FALSE(isAnsi(u'ā'));
    EXPECT_TRUE(isAnsi(u'€'));
}

// The multiplication sign sits among the capitals; Ā is outside the code page.
TEST(FoldCase, FoldsOnlyTheLettersOfWindows1252) {
    constexpr TextView Letters = u"AÉŠŸ×ßĀ";
    constexpr TextView Folded = u"aéšÿ×ßĀ";
    for (std::size_t i = 0; i < Letters.size(); ++i) {
        EXPECT_EQ(foldCase(Letters[i]), Folded[i]) << i;
    }
}

TEST(TrimBlanks, RemovesOnlySpacesAtTheEnds) {
    EXPECT_EQ(trimBlanks(u"  a b  "), u"a b");
    EXPECT_EQ(trimBlanks(u"\ta\t"), u"\ta\t");
    EXPECT_EQ(trimBlanks(u"   "), u"");
}

TEST(ErrorText, ComparesTheFirstFiveCharactersExactly) {
    EXPECT_TRUE(isErrorText(u"ERROR"));
    EXPECT_TRUE(isErrorText(u"ERROR_503_Service Unavailable"));
    for (const TextView text : {u"error: x", u"ERRO", u""}) {
        EXPECT_FALSE(isErrorText(text)) << toUtf8(text);
    }
}

}  // namespace
}  // namespace ardenax
