#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "TestPki.h"
#include "common/TempDir.h"
#include "transport/HttpClient.h"

namespace ardenax {
namespace {

using std::chrono::seconds;
using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::TempDir;
using testing::TestPki;

const TestPki& pki() {
    static const TestPki made;
    return made;
}

// A loopback port that is bound but not listening: connecting to it is
// refused at once, and no other test can take it meanwhile.
class RefusingPort {
public:
    RefusingPort() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("refusing port");
        }
        port_ = ntohs(address.sin_port);
    }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    ~RefusingPort() { ::close(socket_); }

    int port() const { return port_; }

private:
    int socket_;
    int port_ = 0;
};

class HttpClientTest : public ::testing::Test {
protected:
    HttpClientTest() {
        pki().writeAuthority(dir_.path() / "ca.pem");
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
        routes.Get("/missing-get", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<html><body>no such page</body></html>", "text/html");
        });
        routes.Get("/cookie", [this](const httplib::Request&, httplib::Response& response) {
            response.set_header("Set-Cookie",
                                "session=s" + std::to_string(++cookies_) + "; Path=/");
            response.set_content("<html><body>login</body></html>", "text/html");
        });
        routes.Get("/landing", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("landed", "text/plain");
        });
        routes.Get(".*", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><body>the form page</body></html>", "text/html");
        });

        routes.Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.body, "text/plain; charset=utf-8");
        });
        // Answers with the page the client asked for in its fields.
        routes.Post("/page", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.get_param_value("content"),
                                 request.get_param_value("type"));
        });
        routes.Post("/latin1", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("caf\xE9 \x80 \x93ok\x94", "text/plain; Charset=\"ISO-8859-1\"");
        });
        routes.Post(R"(/status/(\d+))",
                    [](const httplib::Request& request, httplib::Response& response) {
                        response.status = std::stoi(request.matches[1]);
                        response.set_content("<html><body>error page</body></html>", "text/html");
                    });
        routes.Post("/missing-get", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("accepted", "text/plain");
        });
        routes.Post("/cookie", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.get_header_value("Cookie"), "text/plain");
        });
        routes.Post("/never", [this](const httplib::Request&, httplib::Response&) {
            server_.waitUntilStopping();
        });
        routes.Post("/see-other", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("moved", "text/plain");
            response.set_redirect("/landing", 303);
        });
        routes.Post("/temporary", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/echo", 307);
        });
        routes.Post("/to-file", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("file:///etc/passwd", 302);
        });
    }

    TempDir dir_;
    HttpSettings settings_;
    int cookies_ = 0;
    LoopbackServer server_{pki()};
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

    const auto received = server_.received();
    ASSERT_EQ(received.size(), 2U);
    EXPECT_EQ(received[0].method, "GET");
    EXPECT_EQ(received[0].path, "/echo");
    EXPECT_EQ(received[0].body, "");
    EXPECT_EQ(received[1].method, "POST");
    EXPECT_EQ(received[1].path, "/echo");
    EXPECT_EQ(received[1].contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(received[1].body, expectedBody);
    EXPECT_EQ(received[1].referer, toUtf8(url("/echo")));
    for (const ReceivedRequest& request : received) {
        EXPECT_EQ(request.userAgent, "ArdenaX/2.1.0.2239");
    }
}

TEST_F(HttpClientTest, AnEmptyListPostsAnEmptyForm) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({}, url("/echo")), u"");
    const auto received = server_.received();
    ASSERT_EQ(received.size(), 2U);
    EXPECT_EQ(received[1].method, "POST");
    EXPECT_EQ(received[1].contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(received[1].body, "");
}

TEST_F(HttpClientTest, TakesTheAnswerOutOfTheBodyOfThePage) {
    HttpClient client(settings_);
    const auto answer = [&](const std::string& content, const std::string& type) {
        return client.Post({{u"content", fromUtf8(content)}, {u"type", fromUtf8(type)}},
                           url("/page"));
    };
    EXPECT_EQ(answer("token;1;2", "text/plain"), u"token;1;2");
    EXPECT_EQ(answer(" <b>x</b> &amp;\r\n", "text/plain"), u" <b>x</b> &amp;\r\n");
    EXPECT_EQ(
        answer("<html><head><title>t</title></head><body>\n<p>OK &lt;1&gt;</p>\n</body></html>",
               "text/html; charset=utf-8"),
        u"\n<p>OK &lt;1&gt;</p>\n");
    EXPECT_EQ(answer("<HTML><HEAD></HEAD><BODY><PRE>x</PRE></BODY></HTML>", "text/html"), u"x");
    EXPECT_EQ(answer("<html><body class=\"page\">x</body></html>", "text/html"),
              u"<html><body class=\"page\">x</body></html>");
    EXPECT_EQ(answer("<html><head></head></html>", "text/html"), u"<html><head></head></html>");
    EXPECT_EQ(answer("Olá €", "text/plain"), u"Olá €");
}

TEST_F(HttpClientTest, ReadsAnAnswerInItsDeclaredCharset) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({}, url("/latin1")), u"café € “ok”");
}

TEST_F(HttpClientTest, AnErrorStatusOnThePostIsAFailureNotAnAnswer) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({}, url("/status/500")), u"ERROR_500_Internal Server Error");
    EXPECT_EQ(client.Post({}, url("/status/404")), u"ERROR_404_Not Found");
    EXPECT_EQ(client.Post({}, url("/status/503")), u"ERROR_503_Service Unavailable");
}

TEST_F(HttpClientTest, AnErrorStatusOnTheGetDoesNotStopThePost) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({{u"x", u"1"}}, url("/missing-get")), u"accepted");
    EXPECT_EQ(requestLines(), (std::vector<std::string>{"GET /missing-get", "POST /missing-get"}));
}

TEST_F(HttpClientTest, ARefusedConnectionIsAFailureThatNamesTheAddress) {
    const RefusingPort refusing;
    const Text address = fromUtf8("https://127.0.0.1:" + std::to_string(refusing.port()) + "/x");
    HttpClient client(settings_);

    const Text result = client.Post({{u"x", u"1"}}, address);

    EXPECT_EQ(result.substr(0, 35), u"ERROR_7_Couldn't connect to server:");
    EXPECT_NE(result.find(u"(while loading " + address + u")"), Text::npos) << toUtf8(result);
}

TEST_F(HttpClientTest, AnUntrustedCertificateIsAFailureAndNothingIsPosted) {
    HttpSettings withoutTestAuthority = settings_;
    withoutTestAuthority.caFile.clear();
    HttpClient client(withoutTestAuthority);

    const Text result = client.Post({{u"x", u"1"}}, url("/echo"));

    EXPECT_EQ(result.substr(0, 9), u"ERROR_60_") << toUtf8(result);
    EXPECT_NE(result.find(u"(while loading " + url("/echo") + u")"), Text::npos);
    EXPECT_TRUE(server_.received().empty());
}

TEST_F(HttpClientTest, AServerThatNeverAnswersTimesOut) {
    settings_.totalTimeout = seconds(1);
    HttpClient client(settings_);

    const auto start = std::chrono::steady_clock::now();
    const Text result = client.Post({}, url("/never"));
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(result.substr(0, 29), u"ERROR_28_Timeout was reached:") << toUtf8(result);
    EXPECT_NE(result.find(u"(while posting the form to " + url("/never") + u")"), Text::npos);
    EXPECT_GE(elapsed, seconds(1));
    EXPECT_LT(elapsed, seconds(10));
}

TEST_F(HttpClientTest, FollowsRedirectsAsABrowserDoes) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({{u"x", u"1"}}, url("/see-other")), u"landed");
    EXPECT_EQ(client.Post({{u"x", u"2"}}, url("/temporary")), u"x=2");
    EXPECT_EQ(requestLines(),
              (std::vector<std::string>{"GET /see-other", "POST /see-other", "GET /landing",
                                        "GET /temporary", "POST /temporary", "POST /echo"}));
    EXPECT_EQ(server_.received()[2].body, "");
    EXPECT_EQ(server_.received()[5].body, "x=2");
}

TEST_F(HttpClientTest, PostsOnlyOverHttpAndHttps) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({}, u"file:///etc/passwd").substr(0, 8), u"ERROR_1_");
    EXPECT_EQ(client.Post({}, url("/to-file")).substr(0, 8), u"ERROR_1_");
    EXPECT_EQ(client.Post({}, url("/echo") + Text(1, u'\0') + u"x").substr(0, 8), u"ERROR_3_");
}

TEST_F(HttpClientTest, KeepsTheCookiesOfItsOwnPostsInMemory) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({}, url("/cookie")), u"session=s1");
    EXPECT_EQ(client.Post({}, url("/cookie")), u"session=s2");
    HttpClient other(settings_);
    EXPECT_EQ(other.Post({}, url("/cookie")), u"session=s3");

    const auto received = server_.received();
    ASSERT_EQ(received.size(), 6U);
    EXPECT_EQ(received[0].cookie, "");
    EXPECT_EQ(received[2].cookie, "session=s1");
    EXPECT_EQ(received[4].cookie, "");
}

TEST_F(HttpClientTest, KeepsWorkingAfterAFailure) {
    const RefusingPort refusing;
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({}, fromUtf8("https://127.0.0.1:" + std::to_string(refusing.port())))
                  .substr(0, 8),
              u"ERROR_7_");
    EXPECT_EQ(client.Post({}, url("/status/500")), u"ERROR_500_Internal Server Error");
    EXPECT_EQ(client.Post({{u"still", u"here"}}, url("/echo")), u"still=here");
}

}  // namespace
}  // namespace ardenax
