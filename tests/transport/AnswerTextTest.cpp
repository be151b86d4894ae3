#include <gtest/gtest.h>

#include "transport/http/AnswerText.h"

namespace ardenax::http {
namespace {

TEST(AnswerText, ReadsTheDeclaredCharset) {
    EXPECT_EQ(answerText("caf\xC3\xA9", "text/plain; charset=utf-8"), u"café");
    EXPECT_EQ(answerText("caf\xC3\xA9", "text/html;charset=\"UTF-8\""), u"café");
    EXPECT_EQ(answerText("caf\xC3\xA9", "text/plain; charset=ISO-8859-1"), u"cafÃ©");
    EXPECT_EQ(answerText("caf\xE9", "text/html; Charset = latin1 ; q=1"), u"café");
    EXPECT_EQ(answerText("\x80\x93\x81", "text/plain; charset=iso-8859-1"), u"€“\u0081");
    EXPECT_EQ(answerText("\x80", "text/plain; charset=windows-1252"), u"€");
    EXPECT_EQ(answerText("\x80", "text/plain; charset=us-ascii"), u"€");
    EXPECT_EQ(answerText("caf\xE9", "text/plain; charset=utf-8"), u"caf\uFFFD");
}

TEST(AnswerText, WithoutADeclarationTakesUtf8WhenValidElseWindows1252) {
    EXPECT_EQ(answerText("caf\xC3\xA9 \xE2\x82\xAC", "text/plain"), u"café €");
    EXPECT_EQ(answerText("caf\xE9 \x80", "text/plain"), u"café €");
    EXPECT_EQ(answerText("caf\xE9", ""), u"café");
    EXPECT_EQ(answerText("\xF0\x9F\x98\x80", "text/plain; charset=shift_jis"), u"😀");
    EXPECT_EQ(answerText("\xC0\x80", ""), u"À€");
    EXPECT_EQ(answerText("", "text/html"), u"");
}

TEST(AnswerText, AByteOrderMarkIsNotText) {
    EXPECT_EQ(answerText("\xEF\xBB\xBF"
                         "ERROR_1",
                         "text/plain"),
              u"ERROR_1");
    EXPECT_EQ(answerText("\xEF\xBB\xBF"
                         "ok",
                         "text/plain; charset=utf-8"),
              u"ok");
}

}  // namespace
}  // namespace ardenax::http
