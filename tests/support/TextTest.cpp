#include <gtest/gtest.h>

#include "support/Text.h"

namespace ardenax {
namespace {

TEST(Utf8, RoundTripsAcrossPlanes) {
    const Text text = u"Votação € 😀";
    EXPECT_EQ(toUtf8(text), "Vota\xC3\xA7\xC3\xA3o \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(fromUtf8("a\xFF"
                       "b"),
              u"a\uFFFDb");
    EXPECT_EQ(fromUtf8("\xC0\xAF"), u"\uFFFD");                    // overlong "/"
    EXPECT_EQ(fromUtf8("\xED\xA0\x80"), u"\uFFFD");                // encoded surrogate
    EXPECT_EQ(fromUtf8("\xE2\x82"), u"\uFFFD");                    // truncated sequence
    EXPECT_EQ(toUtf8(Text(1, char16_t{0xD800})), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(Windows1252, MapsTheHighRangeBothWays) {
    EXPECT_EQ(toAnsi(u"é€Ššÿ"), "\xE9\x80\x8A\x9A\xFF");
    EXPECT_EQ(fromAnsi("\xE9\x80\x8A\x9A\xFF"), u"é€Ššÿ");
    // Bytes the code page leaves undefined travel as the C1 control of that value.
    EXPECT_EQ(fromAnsi("\x81\x9D"), u"\u0081\u009D");
    EXPECT_EQ(toAnsi(u"\u0081\u009D"), "\x81\x9D");
}

TEST(Windows1252, UnrepresentableCharactersBecomeOneQuestionMarkEach) {
    EXPECT_EQ(toAnsi(u"aāb"), "a?b");
    EXPECT_EQ(toAnsi(u"x😀y"), "x?y");
    EXPECT_FALSE(isAnsi(u'ā'));
    EXPECT_TRUE(isAnsi(u'€'));
}

TEST(FoldCase, FoldsOnlyTheLettersOfWindows1252) {
    EXPECT_EQ(foldCase(u'A'), u'a');
    EXPECT_EQ(foldCase(u'É'), u'é');
    EXPECT_EQ(foldCase(u'Š'), u'š');
    EXPECT_EQ(foldCase(u'Ÿ'), u'ÿ');
    EXPECT_EQ(foldCase(u'×'), u'×');  // multiplication sign sits among the capitals
    EXPECT_EQ(foldCase(u'ß'), u'ß');
    EXPECT_EQ(foldCase(u'Ā'), u'Ā');  // outside the code page: left alone
}

TEST(TrimBlanks, RemovesOnlySpacesAtTheEnds) {
    EXPECT_EQ(trimBlanks(u"  a b  "), u"a b");
    EXPECT_EQ(trimBlanks(u"\ta\t"), u"\ta\t");
    EXPECT_EQ(trimBlanks(u"   "), u"");
}

TEST(ErrorText, ComparesTheFirstFiveCharactersExactly) {
    EXPECT_TRUE(isErrorText(u"ERROR"));
    EXPECT_TRUE(isErrorText(u"ERROR_503_Service Unavailable"));
    EXPECT_FALSE(isErrorText(u"error: x"));
    EXPECT_FALSE(isErrorText(u"ERRO"));
    EXPECT_FALSE(isErrorText(u""));
}

}  // namespace
}  // namespace ardenax
