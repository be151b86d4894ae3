#include <gtest/gtest.h>

#include "transport/UrlCoder.h"

namespace ardenax {
namespace {

TEST(UrlCoder, EncodesReservedCharactersOverSingleBytes) {
    EXPECT_EQ(UrlCoder::URLEncode(u"a b"), u"a+b");
    EXPECT_EQ(UrlCoder::URLEncode(u"100%"), u"100%25");
    EXPECT_EQ(UrlCoder::URLEncode(u"a+b"), u"a%2Bb");
    EXPECT_EQ(UrlCoder::URLEncode(u"x=1&y=2"), u"x=1&y=2");
    EXPECT_EQ(UrlCoder::URLEncode(u"\t"), u"%09");
    EXPECT_EQ(UrlCoder::URLEncode(u"é"), u"%E9");
    EXPECT_EQ(UrlCoder::URLEncode(u"€"), u"%80");
    EXPECT_EQ(UrlCoder::URLEncode(u"#,;!*@'\""), u"%23%2C%3B%21%2A%40%27%22");
    EXPECT_EQ(UrlCoder::URLEncode(u"https://h/p?a=(1)&b={2}~$_-."),
              u"https://h/p?a=(1)&b={2}~$_-.");
    EXPECT_EQ(UrlCoder::URLEncode(u""), u"");
}

TEST(UrlCoder, CharactersOutsideTheCodePageEncodeAsQuestionMarks) {
    EXPECT_EQ(UrlCoder::URLEncode(u"ā😀"), u"%3F%3F");
}

TEST(UrlCoder, Decodes) {
    EXPECT_EQ(UrlCoder::URLDecode(u"a+b"), u"a b");
    EXPECT_EQ(UrlCoder::URLDecode(u"%41%42"), u"AB");
    EXPECT_EQ(UrlCoder::URLDecode(u"%e9"), u"é");
    EXPECT_EQ(UrlCoder::URLDecode(u"%80"), u"€");
    EXPECT_EQ(UrlCoder::URLDecode(u"%2B"), u"+");
    EXPECT_EQ(UrlCoder::URLDecode(u"%2+"), u"%2 ");
    EXPECT_EQ(UrlCoder::URLDecode(u""), u"");
}

TEST(UrlCoder, PercentWithoutTwoHexDigitsStaysAsItIs) {
    EXPECT_EQ(UrlCoder::URLDecode(u"100%"), u"100%");
    EXPECT_EQ(UrlCoder::URLDecode(u"%4"), u"%4");
    EXPECT_EQ(UrlCoder::URLDecode(u"%zz+"), u"%zz ");
    EXPECT_EQ(UrlCoder::URLDecode(u"%%41"), u"%A");
}

TEST(UrlCoder, DecodingUndoesEncodingForEveryCodePageCharacter) {
    Text all;
    for (int byte = 1; byte < 256; ++byte) {
        all += fromAnsi(std::string(1, static_cast<char>(byte)));
    }
    all += std::u16string(40000, u'z');  // no 16-bit length limit
    EXPECT_EQ(UrlCoder::URLDecode(UrlCoder::URLEncode(all)), all);
}

}  // namespace
}  // namespace ardenax
