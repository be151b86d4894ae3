#pragma once

#include <cstddef>

// OpenSSL's own type, declared here so that this header needs none of its headers.
struct ssl_ctx_st;

namespace ardenax::toolkit {

// Told of every TLS connection of a server, by its socket: from the moment its
// handshake starts (before the peer has sent anything), of each record it
// receives (its length, as the record arrives and before it is read), until
// the connection's TLS state is freed, which comes before its socket is
// closed. Called on the server's connection threads; must not throw.
class TlsConnectionWatcher {
public:
    TlsConnectionWatcher() = default;
    TlsConnectionWatcher(const TlsConnectionWatcher&) = delete;
    TlsConnectionWatcher& operator=(const TlsConnectionWatcher&) = delete;
    virtual ~TlsConnectionWatcher() = default;

    virtual void opened(int socket) noexcept = 0;
    virtual void received(int socket, std::size_t bytes) noexcept = 0;
    virtual void closed(int socket) noexcept = 0;
};

// Reports the connections of the TLS server context `context` (an SSL_CTX,
// as a server library hands it out) to `watcher`, which must outlive every
// connection of the context.
void watchTlsConnections(ssl_ctx_st* context, TlsConnectionWatcher& watcher);

}  // namespace ardenax::toolkit
