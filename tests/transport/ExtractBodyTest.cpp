#include <gtest/gtest.h>

#include "transport/ExtractBody.h"

namespace ardenax {
namespace {

TEST(ExtractBody, TakesTheTextBetweenTheBodyTags) {
    EXPECT_EQ(ExtractBody(u"<HEAD></HEAD><BODY><PRE>x</PRE></BODY>"), u"x");
    EXPECT_EQ(ExtractBody(u"<body>x</body>"), u"x");
    EXPECT_EQ(ExtractBody(u"<BODY></BODY>"), u"");
    EXPECT_EQ(ExtractBody(u"a<BODY> x \r\n</BODY>b</BODY>"), u" x \r\n");
    EXPECT_EQ(ExtractBody(u"<BODY>x"), u"x");
    EXPECT_EQ(ExtractBody(u"<BODY>x<BODY>y</BODY>"), u"x");
    EXPECT_EQ(ExtractBody(u"<body>x</BODY>"), u"x");
}

TEST(ExtractBody, RemovesEveryPreTagAndNothingElse) {
    EXPECT_EQ(ExtractBody(u"<BODY><pre>a</pre><PRE>b</PRE><Pre>c</Pre></BODY>"), u"ab<Pre>c</Pre>");
    EXPECT_EQ(ExtractBody(u"<BODY><p>&amp; &lt;</p></BODY>"), u"<p>&amp; &lt;</p>");
    // One pass per tag: a tag that removal brings together stays.
    EXPECT_EQ(ExtractBody(u"<BODY><PR<PRE>E>x</BODY>"), u"<PRE>x");
}

TEST(ExtractBody, GivesTheWholeMarkupWhenThereIsNoBodyToTake) {
    EXPECT_EQ(ExtractBody(u"token;1;2"), u"token;1;2");
    EXPECT_EQ(ExtractBody(u""), u"");
    EXPECT_EQ(ExtractBody(u"<Body>x</Body>"), u"<Body>x</Body>");
    EXPECT_EQ(ExtractBody(u"<body class=\"a\">x</body>"), u"<body class=\"a\">x</body>");
    EXPECT_EQ(ExtractBody(u"<PRE>x</PRE><BODY>"), u"<PRE>x</PRE><BODY>");
    EXPECT_EQ(ExtractBody(u"<pre>a</pre><BODY><body>b"), u"<pre>a</pre><BODY><body>b");
    EXPECT_EQ(ExtractBody(u"<BODY><PRE></PRE>"), u"<BODY><PRE></PRE>");
}

}  // namespace
}  // namespace ardenax
