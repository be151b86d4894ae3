#include <arpa/inet.h>
#include <array>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "common/TempDir.h"
#include "transport/HttpClient.h"

namespace ardenax {
namespace {

// A plain HTTP server on loopback that answers every request with `answer`,
// byte for byte, and closes the connection: a status line of any form.
class RawHttpServer {
public:
    explicit RawHttpServer(std::string answer)
        : answer_(std::move(answer)), listener_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        auto* generic = reinterpret_cast<sockaddr*>(&address);
        if (::bind(listener_, generic, length) != 0 || ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, generic, &length) != 0) {
            throw std::runtime_error("raw server: no port");
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;
    ~RawHttpServer() {
        // Wakes the accept below.
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }

    Text url(const std::string& path) const {
        return fromUtf8("http://127.0.0.1:" + std::to_string(port_) + path);
    }

private:
    // Requests without a body only: reading up to the blank line takes all.
    void serve() const {
        for (int connection = 0; (connection = ::accept(listener_, nullptr, nullptr)) >= 0;) {
            std::string request;
            std::array<char, 4096> buffer{};
            while (request.find("\r\n\r\n") == std::string::npos) {
                const auto got = ::recv(connection, buffer.data(), buffer.size(), 0);
                if (got <= 0) {
                    break;
                }
                request.append(buffer.data(), static_cast<std::size_t>(got));
            }
            ::send(connection, answer_.data(), answer_.size(), MSG_NOSIGNAL);
            ::close(connection);
        }
    }

    std::string answer_;
    int listener_;
    int port_ = 0;
    std::thread thread_;
};

class HttpClientTest : public ::testing::Test {
protected:
    HttpClientTest() {
        server_.writeAuthority(dir_.path() / "ca.pem");
        settings_.caFile = dir_.path() / "ca.pem";
        plain_.routes().Post("/echo",
                             [](const httplib::Request& request, httplib::Response& response) {
                                 response.set_content(request.body, "text/plain");
                             });
        plain_.routes().Post("/to-plain",
                             [this](const httplib::Request&, httplib::Response& response) {
                                 response.set_redirect(plain_.plainUrl("/echo"), 307);
                             });
        plain_.start();
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
        // A form page larger than any answer the client takes.
        routes.Get("/large-page",
                   answer(std::string(std::size_t{2} * 1024 * 1024, 'x'), "text/html"));
        routes.Get("/get-to-plain", [this](const httplib::Request&, httplib::Response& response) {
            response.set_redirect(plain_.plainUrl("/echo"), 302);
        });
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
        routes.Post("/large-page", answer("accepted", "text/plain"));
        routes.Post("/to-plain", [this](const httplib::Request&, httplib::Response& response) {
            response.set_redirect(plain_.plainUrl("/echo"), 307);
        });
        routes.Post("/cookie", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.get_header_value("Cookie"), "text/plain");
        });
        routes.Post("/close", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("Connection", "close");
            response.set_content("closing", "text/plain");
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
    testing::LoopbackServer plain_{std::vector<std::string>{}};
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
// The GET's answer is never used: neither its status nor its size matter.
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
    EXPECT_EQ(client.Post({{u"x", u"1"}}, url("/large-page")), u"accepted");
}

// A status line may leave its reason phrase empty (HTTP/2 has none at all).
TEST_F(HttpClientTest, AnErrorWithoutAReasonPhraseIsNamedByTheStandardOne) {
    const RawHttpServer busy(
        "HTTP/1.1 503 \r\nContent-Type: text/plain\r\nContent-Length: 5\r\n"
        "Connection: close\r\n\r\nbusy!");
    EXPECT_EQ(HttpClient(settings_).Post({}, busy.url("/smv")), u"ERROR_503_Service Unavailable");
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

// The credentials and the certificate never travel in clear text once a post
// started on HTTPS, whichever of its requests is redirected. Development on
// plain HTTP (loopback) still follows its own redirects.
TEST_F(HttpClientTest, APostThatStartedOnHttpsNeverLeavesIt) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({{u"senha", u"s"}}, url("/to-plain")).substr(0, 8), u"ERROR_1_");
    EXPECT_EQ(client.Post({{u"senha", u"s"}}, url("/get-to-plain")).substr(0, 8), u"ERROR_1_");
    EXPECT_TRUE(plain_.received().empty());
    EXPECT_EQ(client.Post({{u"x", u"1"}}, fromUtf8(plain_.plainUrl("/to-plain"))), u"x=1");
}

// A connection is known by the client's port of it.
TEST_F(HttpClientTest, KeepsItsConnectionAcrossPostsAndOpensANewOneWhenTheServerEndsIt) {
    HttpClient client(settings_);
    EXPECT_EQ(client.Post({{u"a", u"1"}}, url("/echo")), u"a=1");
    EXPECT_EQ(client.Post({{u"b", u"2"}}, url("/close")), u"closing");
    EXPECT_EQ(client.Post({{u"c", u"3"}}, url("/echo")), u"c=3");
    EXPECT_EQ(HttpClient(settings_).Post({{u"d", u"4"}}, url("/echo")), u"d=4");
    const auto received = server_.received();
    ASSERT_EQ(received.size(), 8U);
    std::vector<int> ports;
    ports.reserve(received.size());
    for (const httplib::Request& request : received) {
        ports.push_back(request.remote_port);
    }
    const int first = ports[0];
    const int afterClose = ports[4];
    EXPECT_EQ(ports, (std::vector<int>{first, first, first, first, afterClose, afterClose, ports[6],
                                       ports[6]}));
    EXPECT_NE(afterClose, first);
    EXPECT_NE(ports[6], first);
    EXPECT_NE(ports[6], afterClose);
    // The page is loaded afresh each time: no referrer from the post before it.
    EXPECT_EQ(received[2].get_header_value("Referer"), "");
    EXPECT_EQ(received[3].get_header_value("Referer"), toUtf8(url("/close")));
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
