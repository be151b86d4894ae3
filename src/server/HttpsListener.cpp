#include "server/HttpsListener.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "crypto/toolkit/Pki.h"
#include "crypto/toolkit/TlsConnectionWatch.h"
#include "support/Failure.h"

namespace ardenax::server {
namespace {

constexpr std::string_view PageType = "text/html; charset=UTF-8";
// Short, so that stopping does not wait long on a client's idle connection.
constexpr time_t KeepAliveSeconds = 1;
// A voter's road is a few requests in a row on one kept connection (each post
// a GET and a POST); the library's default of 5 would cut it halfway.
constexpr std::size_t KeepAliveRequests = 100;

bool isWildcard(const std::string& address) {
    return address == "0.0.0.0" || address == "::";
}

// The name clients use: the one given, else the address they reach.
std::string clientName(const HttpsListener::Options& options) {
    if (!options.name.empty()) {
        return options.name;
    }
    return isWildcard(options.address) ? "127.0.0.1" : options.address;
}

// A queue of workers that says when the server has begun to accept: the
// server makes it as it starts its accept loop.
class ReadyTaskQueue final : public httplib::ThreadPool {
public:
    ReadyTaskQueue(std::size_t workers, std::promise<void>& ready) : ThreadPool(workers) {
        ready.set_value();
    }
};

}  // namespace

HttpsListener::HttpsListener(Options options)
    : options_(std::move(options)), limits_(options_.connectionDeadline, MaxConnectionBytes) {
    if (!options_.certificateFile.empty() || !options_.keyFile.empty()) {
        http_ = std::make_unique<httplib::SSLServer>(options_.certificateFile.c_str(),
                                                     options_.keyFile.c_str());
    } else {
        const auto authority = toolkit::createAuthority("ArdenaX reference servers CA");
        std::vector<std::string> hosts{"127.0.0.1", "localhost"};
        for (const auto& host : {options_.address, options_.name}) {
            if (!host.empty() && !isWildcard(host) &&
                std::find(hosts.begin(), hosts.end(), host) == hosts.end()) {
                hosts.push_back(host);
            }
        }
        const auto identity = toolkit::issueServerCertificate(authority, hosts);
        // The server keeps its own references to both.
        http_ = std::make_unique<httplib::SSLServer>(identity.x509(), identity.privateKey());
        caPem_ = toolkit::certificatePem(authority);
        publicKeyPin_ = toolkit::publicKeyPin(identity);
    }
    if (!http_->is_valid()) {
        throw Failure(Failure::E_Fail, u"The TLS certificate or key is not usable",
                      u"HttpsListener");
    }
    // cpp-httplib's default options add SO_REUSEPORT, with which a second
    // server on the port would start and take half of the connections.
    http_->set_socket_options([](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    http_->new_task_queue = [this] {
        return std::make_unique<ReadyTaskQueue>(Workers, running_).release();
    };
    toolkit::watchTlsConnections(http_->ssl_context(), limits_);
    http_->set_payload_max_length(MaxRequestLength);
    http_->set_keep_alive_timeout(KeepAliveSeconds);
    http_->set_keep_alive_max_count(KeepAliveRequests);
    http_->set_tcp_nodelay(true);
    http_->set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) {
            response.set_content("<HTML><HEAD><TITLE>Error</TITLE></HEAD><BODY>ERROR HTTP " +
                                     std::to_string(response.status) + "</BODY></HTML>",
                                 std::string(PageType));
        }
    });
}

HttpsListener::~HttpsListener() {
    stop();
}

void HttpsListener::sendUncompressed(httplib::Response& response, std::string body,
                                     const std::string& contentType) {
    // A body given by a provider of known length is never compressed.
    const auto length = body.size();
    response.set_content_provider(
        length, contentType,
        [body = std::move(body)](std::size_t offset, std::size_t size, httplib::DataSink& sink) {
            return sink.write(body.data() + offset, size);
        });
}

void HttpsListener::start() {
    port_ = options_.port == 0
                ? http_->bind_to_any_port(options_.address)
                : (http_->bind_to_port(options_.address, options_.port) ? options_.port : -1);
    if (port_ <= 0) {
        const int error = errno;
        throw Failure(Failure::E_Fail,
                      fromUtf8("Cannot listen on " + options_.address + ":" +
                               std::to_string(options_.port) + ": " +
                               (error == EADDRINUSE ? std::string("address in use")
                                                    : std::generic_category().message(error))),
                      u"HttpsListener");
    }
    auto running = running_.get_future();
    thread_ = std::thread([this] { http_->listen_after_bind(); });
    // stop() reaches only a server whose accept loop has begun.
    running.wait();
}

void HttpsListener::stop() {
    if (thread_.joinable()) {
        http_->stop();
        thread_.join();
    }
}

std::string HttpsListener::baseUrl() const {
    const std::string host = clientName(options_);
    return "https://" + (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
           std::to_string(port_);
}

}  // namespace ardenax::server
