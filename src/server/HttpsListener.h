#pragma once

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "server/ConnectionLimits.h"

namespace ardenax::server {

// The HTTPS side of the reference servers, shared by the parts an operator
// runs: TLS with a given identity or a throwaway one, the socket (never
// shared with another server), the workers, and each connection's limits of
// time and bytes. The parts add their routes to routes() before start().
class HttpsListener {
public:
    // Connections served at once; more wait for a free worker.
    static constexpr std::size_t Workers = 32;
    // Larger requests are refused with 413 before they reach the endpoints,
    // whether their length is given or their body comes in chunks.
    static constexpr std::size_t MaxRequestLength = std::size_t{1024} * 1024;
    // What one connection may send in all, its requests' lines and headers
    // included; past it, the connection is cut. Two requests of the largest
    // size fit: a client's post is a GET and a POST on one connection.
    static constexpr std::size_t MaxConnectionBytes =
        2 * MaxRequestLength + std::size_t{256} * 1024;

    struct Options {
        std::string address = "127.0.0.1";
        // 0: an ephemeral port, see port().
        int port = 0;
        // The host name clients reach the server by, for its URLs and the
        // throwaway certificate; the address (127.0.0.1 for a wildcard) when empty.
        std::string name{};
        // The TLS certificate (with its chain) and key, PEM files. When both
        // are empty a throwaway authority issues a certificate for 127.0.0.1,
        // localhost, the address and the name; see caPem().
        std::filesystem::path certificateFile{};
        std::filesystem::path keyFile{};
        // How long a connection may take, from its TLS handshake to its
        // last answer; a slower client is cut off.
        std::chrono::milliseconds connectionDeadline = std::chrono::seconds(10);
    };

    // Raises a failure when the TLS identity is unusable.
    explicit HttpsListener(Options options);
    HttpsListener(const HttpsListener&) = delete;
    HttpsListener& operator=(const HttpsListener&) = delete;
    ~HttpsListener();

    httplib::Server& routes() { return *http_; }

    // Answers `body` as it is. The HTTP library compresses every text or JSON
    // body for a client that accepts it, at brotli's slowest setting: a large
    // answer of little redundancy (a page of the board's hashes) then costs
    // most of a second of server time for nothing.
    static void sendUncompressed(httplib::Response& response, std::string body,
                                 const std::string& contentType);

    // Binds the address and serves; returns once connections are accepted.
    // Raises a failure when the address cannot be bound (also when another
    // server listens there: the port is never shared).
    void start();
    // Stops serving and joins the server's threads. Idempotent.
    void stop();

    int port() const { return port_; }
    // https://<name>:<port>.
    std::string baseUrl() const;
    // The throwaway authority's certificate in PEM, for clients to trust;
    // empty when the server was given its certificate.
    const std::string& caPem() const { return caPem_; }
    // The throwaway server certificate's key pin (see toolkit::publicKeyPin),
    // for a browser told to accept it; empty when the server was given its
    // certificate.
    const std::string& publicKeyPin() const { return publicKeyPin_; }

private:
    Options options_;
    // Declared before the server, whose connections it must outlive.
    ConnectionLimits limits_;
    std::string caPem_;
    std::string publicKeyPin_;
    std::unique_ptr<httplib::SSLServer> http_;
    int port_ = 0;
    std::promise<void> running_;
    std::thread thread_;
};

}  // namespace ardenax::server
