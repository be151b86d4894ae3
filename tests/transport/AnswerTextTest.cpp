#include <tuple>

#include <gtest/gtest.h>

#include "transport/http/AnswerText.h"

namespace ardenax::http {
namespace {

// A declared charset is followed (Latin-1 labels read as Windows-1252, as
// browsers do); without one, valid UTF-8 is UTF-8 and anything else
// Windows-1252. A byte order mark is not text.
TEST(AnswerText, ReadsTheDeclaredOrTheLikelyCharset) {
    for (const auto& [bytes, type, text] :
         std::initializer_list<std::tuple<std::string_view, std::string_view, TextView>>{
             {"caf\xC3\xA9", "text/html;charset=\"UTF-8\"", u"café"},
             {"caf\xC3\xA9", "text/plain; charset=ISO-8859-1", u"cafÃ©"},
             {"caf\xE9", "text/html; Charset = latin1 ; q=1", u"café"},
             {"\x80\x93\x81", "text/plain; charset=iso-8859-1", u"€“\u0081"},
             {"\x80", "text/plain; charset=us-ascii", u"€"},
             {"caf\xE9", "text/plain; charset=utf-8", u"caf\uFFFD"},
             {"caf\xC3\xA9 \xE2\x82\xAC", "text/plain", u"café €"},
             {"caf\xE9 \x80", "", u"café €"},
             {"\xF0\x9F\x98\x80", "text/plain; charset=shift_jis", u"😀"},
             {"\xC0\x80", "", u"À€"},
             {"\xEF\xBB\xBFok", "text/plain", u"ok"},
             {"\xEF\xBB\xBFok", "text/plain; charset=utf-8", u"ok"}}) {
        EXPECT_EQ(answerText(bytes, type), text) << bytes << " " << type;
    }
}

}  // namespace
}  // namespace ardenax::http
