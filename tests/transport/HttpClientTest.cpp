#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "common/TempDir.h"
#include "transport/HttpClient.h"

namespace ardenax {
namespace {

class HttpClientTest : public ::testing::Test {
protected:
    HttpClientTest() {
        server_.writeAuthority(dir_.path() / "ca.pem");
        settings_.caFile = dir_.path() / "ca.pem";
        addRoutes(server_.routes());
        server_.start();
    }

    Text url(const std::string& path) const { return server_.url(path); }

    // Each request the server received: method, path and body.
    std::vector<std::string> requestLines() const {
        std::vector<std::string> lines;
        for (const httplib::Request& request : server_.received()) {
            lines.push_back(request.method + " " + request.path + " " + request.body);
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

    EXPECT_EQ(requestLines(), (std::vector<std::string>{"GET /echo ", "POST /echo " + expectedBody,
                                                        "GET /echo ", "POST /echo "}));
    const auto received = server_.received();
    EXPECT_EQ(received[1].get_header_value("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(received[1].get_header_value("Referer"), toUtf8(url("/echo")));
    EXPECT_EQ(received[3].get_header_value("Content-Type"), "application/x-www-form-urlencoded");
    for (const httplib::Request& request : received) {
        EXPECT_EQ(request.get_header_value("User-Agent"), "ArdenaX/2.1.0.2239");
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

TEST_F(HttpClientTest, FollowsRedirectsAsABrowserDoesButOnlyOverHttpAndHttps) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({{u"x", u"1"}}, url("/see-other")), u"landed");
    EXPECT_EQ(client.Post({{u"x", u"2"}}, url("/temporary")), u"x=2");
    EXPECT_EQ(requestLines(), (std::vector<std::string>{"GET /see-other ", "POST /see-other x=1",
                                                        "GET /landing ", "GET /temporary ",
                                                        "POST /temporary x=2", "POST /echo x=2"}));

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
    EXPECT_EQ(received[0].get_header_value("Cookie"), "");
    EXPECT_EQ(received[2].get_header_value("Cookie"), "session=s1");
    EXPECT_EQ(received[4].get_header_value("Cookie"), "");
}

}  // namespace
}  // namespace ardenax
