#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "common/TempDir.h"
#include "transport/HttpClient.h"

namespace ardenax {
namespace {

using std::chrono::seconds;
using testing::ReceivedRequest;

// Nothing listens on port 1 of the loopback: connecting is refused at once.
constexpr TextView RefusingUrl = u"https://127.0.0.1:1/x";

class HttpClientTest : public ::testing::Test {
protected:
    HttpClientTest() {
        server_.writeAuthority(dir_.path() / "ca.pem");
        settings_.caFile = dir_.path() / "ca.pem";
        settings_.connectTimeout = seconds(5);
        settings_.totalTimeout = seconds(10);
        addRoutes(server_.routes());
        server_.start();
    }

    Text url(const std::string& path) const {
        return fromUtf8("https://127.0.0.1:" + std::to_string(server_.port()) + path);
    }

    std::vector<std::string> requestLines() const {
        std::vector<std::string> lines;
        for (const ReceivedRequest& request : server_.received()) {
            lines.push_back(request.method + " " + request.path);
        }
        return lines;
    }

    void addRoutes(httplib::Server& routes) {
        const auto answer = [](const std::string& content, const std::string& type) {
            return [content, type](const httplib::Request&, httplib::Response& response) {
                response.set_content(content, type);
            };
        };
        routes.Get("/missing-get", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
        });
        routes.Get("/cookie", [this](const httplib::Request&, httplib::Response& response) {
            response.set_header("Set-Cookie",
                                "session=s" + std::to_string(++cookies_) + "; Path=/");
        });
        routes.Get("/landing", answer("landed", "text/plain"));
        routes.Get(".*", answer("<html><body>the form page</body></html>", "text/html"));

        routes.Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.body, "text/plain; charset=utf-8");
        });
        routes.Post("/page", answer("<HTML><BODY><PRE>caf\xE9 \x80 \x93ok\x94</PRE></BODY></HTML>",
                                    "text/html; Charset=\"ISO-8859-1\""));
        routes.Post(R"(/status/(\d+))", [](const httplib::Request& request,
                                           httplib::Response& response) {
            // The page posted as "page", else a plain error page.
            response.status = std::stoi(request.matches[1]);
            response.set_content(request.has_param("page") ? request.get_param_value("page")
                                                           : "<html><body>error page</body></html>",
                                 "text/html");
        });
        routes.Post("/missing-get", answer("accepted", "text/plain"));
        routes.Post("/cookie", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.get_header_value("Cookie"), "text/plain");
        });
        routes.Post("/never", [this](const httplib::Request&, httplib::Response&) {
            server_.waitUntilStopping();
        });
        routes.Post("/see-other", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/landing", 303);
        });
        routes.Post("/temporary", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/echo", 307);
        });
        routes.Post("/to-file", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("file:///etc/passwd", 302);
        });
    }

    testing::TempDir dir_;
    HttpSettings settings_;
    int cookies_ = 0;
    testing::LoopbackServer server_;
};

TEST_F(HttpClientTest, LoadsThePageThenPostsTheFieldsInListOrderAsUtf8) {
    HttpClient client(settings_);
    const ParamList params = {{u"b", u"2"},
                              {u"a", u"1"},
                              {u"nome", u"café ü € 😀"},
                              {u"a&b=c", u"+ % < > ; /\r\nline 2"},
                              {u"empty", u""}};
    const std::string expectedBody =
        "b=2&a=1&nome=caf%C3%A9%20%C3%BC%20%E2%82%AC%20%F0%9F%98%80"
        "&a%26b%3Dc=%2B%20%25%20%3C%20%3E%20%3B%20%2F%0D%0Aline%202&empty=";

    EXPECT_EQ(client.Post(params, url("/echo")), fromUtf8(expectedBody));
    EXPECT_EQ(client.Post({}, url("/echo")), u"");

    const auto received = server_.received();
    ASSERT_EQ(received.size(), 4U);
    EXPECT_EQ(received[0].method, "GET");
    EXPECT_EQ(received[0].path, "/echo");
    EXPECT_EQ(received[0].body, "");
    EXPECT_EQ(received[1].method, "POST");
    EXPECT_EQ(received[1].path, "/echo");
    EXPECT_EQ(received[1].contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(received[1].body, expectedBody);
    EXPECT_EQ(received[1].referer, toUtf8(url("/echo")));
    EXPECT_EQ(received[3].contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(received[3].body, "");
    for (const ReceivedRequest& request : received) {
        EXPECT_EQ(request.userAgent, "ArdenaX/2.1.0.2239");
    }
}

TEST_F(HttpClientTest, TakesTheAnswerOutOfTheBodyInItsDeclaredCharset) {
    EXPECT_EQ(HttpClient(settings_).Post({}, url("/page")), u"café € “ok”");
}

// An error status is a failure, unless the server's own answer says so itself.
TEST_F(HttpClientTest, AnErrorStatusOnThePostIsAFailureButNotOnTheGet) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({}, url("/status/500")), u"ERROR_500_Internal Server Error");
    EXPECT_EQ(client.Post({}, url("/status/404")), u"ERROR_404_Not Found");
    EXPECT_EQ(client.Post({}, url("/status/503")), u"ERROR_503_Service Unavailable");
    EXPECT_EQ(client.Post({{u"page", u"<html><body>ERROR unknown credentials</body></html>"}},
                          url("/status/400")),
              u"ERROR unknown credentials");
    EXPECT_EQ(client.Post({{u"page", u"ERROR votes are closed"}}, url("/status/403")),
              u"ERROR votes are closed");
    EXPECT_EQ(client.Post({{u"page", u"Error: try later"}}, url("/status/503")),
              u"ERROR_503_Service Unavailable");
    EXPECT_EQ(client.Post({{u"x", u"1"}}, url("/missing-get")), u"accepted");
}

// A failure to reach the server, or to trust it, is the text of libcurl's
// error with what failed, and posts nothing; the client goes on.
TEST_F(HttpClientTest, TransportFailuresNameWhatFailedAndPostNothing) {
    HttpClient client(settings_);
    const Text refused = client.Post({{u"x", u"1"}}, Text(RefusingUrl));
    EXPECT_TRUE(refused.starts_with(u"ERROR_7_Couldn't connect to server:")) << toUtf8(refused);
    EXPECT_TRUE(refused.ends_with(u"(while loading " + Text(RefusingUrl) + u")"));

    HttpSettings withoutTestAuthority = settings_;
    withoutTestAuthority.caFile.clear();
    const Text untrusted = HttpClient(withoutTestAuthority).Post({{u"x", u"1"}}, url("/echo"));
    EXPECT_TRUE(untrusted.starts_with(u"ERROR_60_")) << toUtf8(untrusted);
    EXPECT_TRUE(server_.received().empty());

    settings_.totalTimeout = seconds(1);
    const Text late = HttpClient(settings_).Post({}, url("/never"));
    EXPECT_TRUE(late.starts_with(u"ERROR_28_Timeout was reached:")) << toUtf8(late);
    EXPECT_TRUE(late.ends_with(u"(while posting the form to " + url("/never") + u")"));
    EXPECT_EQ(client.Post({{u"still", u"here"}}, url("/echo")), u"still=here");
}

TEST_F(HttpClientTest, FollowsRedirectsAsABrowserDoesButOnlyOverHttpAndHttps) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({{u"x", u"1"}}, url("/see-other")), u"landed");
    EXPECT_EQ(client.Post({{u"x", u"2"}}, url("/temporary")), u"x=2");
    EXPECT_EQ(requestLines(),
              (std::vector<std::string>{"GET /see-other", "POST /see-other", "GET /landing",
                                        "GET /temporary", "POST /temporary", "POST /echo"}));
    EXPECT_EQ(server_.received()[2].body, "");
    EXPECT_EQ(server_.received()[5].body, "x=2");

    EXPECT_EQ(client.Post({}, u"file:///etc/passwd").substr(0, 8), u"ERROR_1_");
    EXPECT_EQ(client.Post({}, url("/to-file")).substr(0, 8), u"ERROR_1_");
    EXPECT_EQ(client.Post({}, url("/echo") + Text(1, u'\0') + u"x").substr(0, 8), u"ERROR_3_");
}

TEST_F(HttpClientTest, KeepsTheCookiesOfItsOwnPostsInMemory) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({}, url("/cookie")), u"session=s1");
    EXPECT_EQ(client.Post({}, url("/cookie")), u"session=s2");
    EXPECT_EQ(HttpClient(settings_).Post({}, url("/cookie")), u"session=s3");
    const auto received = server_.received();
    ASSERT_EQ(received.size(), 6U);
    EXPECT_EQ(received[0].cookie, "");
    EXPECT_EQ(received[2].cookie, "session=s1");
    EXPECT_EQ(received[4].cookie, "");
}

}  // namespace
}  // namespace ardenax
