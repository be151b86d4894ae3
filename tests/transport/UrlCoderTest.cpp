#include <gtest/gtest.h>

#include "transport/UrlCoder.h"

namespace ardenax {
namespace {

TEST(UrlCoder, EncodesWhatIsNotUnreservedAsItsSingleByteCode) {
    for (const auto& [raw, encoded] : std::initializer_list<std::pair<TextView, TextView>>{
             {u"a b", u"a+b"},
             {u"100%", u"100%25"},
             {u"a+b", u"a%2Bb"},
             {u"\t", u"%09"},
             {u"é€", u"%E9%80"},
             {u"ā😀", u"%3F%3F"},
             {u"#,;!*@'\"", u"%23%2C%3B%21%2A%40%27%22"},
             {u"https://h/p?a=(1)&b={2}~$_-.", u"https://h/p?a=(1)&b={2}~$_-."},
             {u"", u""}}) {
        EXPECT_EQ(UrlCoder::URLEncode(Text(raw)), encoded) << toUtf8(raw);
    }
}

// A "%" without two hexadecimal digits after it stays as it is.
TEST(UrlCoder, DecodesPlusAndPercentCodesAndUndoesEncoding) {
    for (const auto& [encoded, raw] :
         std::initializer_list<std::pair<TextView, TextView>>{{u"a+b", u"a b"},
                                                              {u"%41%42", u"AB"},
                                                              {u"%e9%80", u"é€"},
                                                              {u"%2B", u"+"},
                                                              {u"%2+", u"%2 "},
                                                              {u"100%", u"100%"},
                                                              {u"%zz+", u"%zz "},
                                                              {u"%%41", u"%A"}}) {
        EXPECT_EQ(UrlCoder::URLDecode(Text(encoded)), raw) << toUtf8(encoded);
    }
    Text all;
    for (int byte = 1; byte < 256; ++byte) {
        all += fromAnsi(std::string(1, static_cast<char>(byte)));
    }
    all += std::u16string(40000, u'z');  // no 16-bit length limit
    EXPECT_EQ(UrlCoder::URLDecode(UrlCoder::URLEncode(all)), all);
}

}  // namespace
}  // namespace ardenax
