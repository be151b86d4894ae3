#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/ElectionDatabase.h"
#include "server/FormField.h"

namespace ardenax::server {

// A form as an endpoint received it (test aid).
struct ReceivedForm {
    std::string method;
    std::string path;
    // The posted fields, or a GET's query fields, in order; empty when the
    // body was not a form.
    std::vector<FormField> fields;

    bool operator==(const ReceivedForm&) const = default;
};

// The reference Promotor and SMV behind one HTTPS server, with what a page
// developer needs beside them: /election.json (the cards and their
// candidates), /ballot-box.json (every vote received, opened) and, when
// given, a folder of static pages at "/". Running once
// constructed; stopped, its threads joined, by stop() or destruction. A new
// server on the same database carries on where the last one stopped.
class ReferenceServer {
public:
    static constexpr std::string_view PromotorPath = "/promotor/obtaintoken";
    static constexpr std::string_view SmvPath = "/smv/votesetter";
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
        // Opened when it exists, else created with the demo election.
        std::filesystem::path database{};
        // The TLS certificate (with its chain) and key, PEM files. When both
        // are empty a throwaway authority issues a certificate for 127.0.0.1,
        // localhost and `address`; see caPem().
        std::filesystem::path certificateFile{};
        std::filesystem::path keyFile{};
        // A folder of static files (a voting page) served at "/"; none when empty.
        std::filesystem::path webRoot{};
        // Test aid: keep every received form, see receivedForms().
        bool recordForms = false;
        // How long a connection may take, from its TLS handshake to its
        // last answer; a slower client is cut off.
        std::chrono::milliseconds connectionDeadline = std::chrono::seconds(10);
        // How long the SMV takes before it answers a vote, as a loaded one
        // would (for page developers and tests of waiting clients).
        std::chrono::milliseconds voteDelay{0};
    };

    // Connections served at once; more wait for a free worker.
    static constexpr std::size_t Workers = 32;

    // Raises a failure when the database cannot be opened or made, the TLS
    // identity is unusable or the address cannot be bound (also when another
    // server listens there: the port is never shared).
    explicit ReferenceServer(Options options);
    ReferenceServer(const ReferenceServer&) = delete;
    ReferenceServer& operator=(const ReferenceServer&) = delete;
    ~ReferenceServer();

    // Stops serving and joins the server's threads. Idempotent.
    void stop();

    int port() const;
    // https://<address>:<port>, with 127.0.0.1 for a wildcard address.
    std::string baseUrl() const;
    std::string promotorUrl() const;
    std::string smvUrl() const;
    // The throwaway authority's certificate in PEM, for clients to trust;
    // empty when the server was given its certificate.
    const std::string& caPem() const;
    void writeCaFile(const std::filesystem::path& file) const;
    // The throwaway server certificate's key pin (see toolkit::publicKeyPin),
    // for a browser told to accept it; empty when the server was given its
    // certificate.
    const std::string& publicKeyPin() const;

    ElectionDatabase& database();

    // Test aids. The forms received so far (only with Options::recordForms).
    std::vector<ReceivedForm> receivedForms() const;
    // From now on, POSTs to `path` are answered with a page whose body is
    // exactly `body`, with HTTP status `status`, and are not processed.
    void scriptAnswer(std::string_view path, std::string body, int status = 200);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace ardenax::server
