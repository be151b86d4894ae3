#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "server/ElectionStore.h"

namespace ardenax::server {

// The reference Promotor and SMV, and the page a voter starts from, as the
// parts an operator runs: one HTTPS listener, and the routes of the roles
// the process serves, over one election store that several processes may
// share. No route shows a choice, a token or anything per voter. Running
// once constructed; stopped, its threads joined, by stop() or destruction. A
// new server on the same database carries on where the last one stopped.
class ReferenceServer {
public:
    static constexpr std::string_view PromotorPath = "/promotor/obtaintoken";
    static constexpr std::string_view SmvPath = "/smv/votesetter";
    static const std::size_t MaxRequestLength;
    static const std::size_t MaxConnectionBytes;

    // Which routes a process serves: the Promotor's (with the page), the
    // SMV's, or all of them.
    enum class Role { All, Promotor, Smv };

    struct Options {
        std::string address = "127.0.0.1";
        // 0: an ephemeral port, see port().
        int port = 0;
        // The host name voters reach the server by (URLs, the throwaway
        // certificate); the address when empty.
        std::string name{};
        // An SQLite file, opened when it exists, else created with the demo
        // election, whose key is kept beside it (SqliteElectionStore::keyFileOf);
        // or a postgresql:// URI of a database that holds an election.
        std::string database{};
        // The TLS certificate (with its chain) and key, PEM files; a
        // throwaway authority's when both are empty, see caPem().
        std::filesystem::path certificateFile{};
        std::filesystem::path keyFile{};
        // A folder of static files (a voting page) served at "/"; none when empty.
        std::filesystem::path webRoot{};
        // The key an SMV signs the board's heads with; made when missing.
        // Beside an SQLite database (boardKeyFileOf) when empty; an SMV over
        // PostgreSQL must be given it.
        std::filesystem::path boardKeyFile{};
        Role role = Role::All;
        // How long a connection may take, from its TLS handshake to its
        // last answer; a slower client is cut off.
        std::chrono::milliseconds connectionDeadline = std::chrono::seconds(10);
        // How long the SMV takes before it answers a vote, as a loaded one
        // would (for page developers and tests of waiting clients).
        std::chrono::milliseconds voteDelay{0};
        // The SMV refuses every vote ("ERROR votes are closed") and stores none.
        bool votesClosed = false;
    };

    // Raises a failure when the database cannot be opened or made, the TLS
    // identity is unusable or the address cannot be bound (also when another
    // server listens there: the port is never shared).
    explicit ReferenceServer(const Options& options);
    ReferenceServer(const ReferenceServer&) = delete;
    ReferenceServer& operator=(const ReferenceServer&) = delete;
    ~ReferenceServer();

    // Stops serving and joins the server's threads. Idempotent.
    void stop();

    int port() const;
    // https://<name>:<port>.
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

    // Where the certificate of the key the board's heads are signed with was
    // written (boardCertificateFileOf the key file); empty for a Promotor.
    const std::filesystem::path& boardCertificateFile() const;

    ElectionStore& store();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace ardenax::server
