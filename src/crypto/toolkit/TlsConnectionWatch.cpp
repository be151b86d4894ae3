#include "crypto/toolkit/TlsConnectionWatch.h"

#include <openssl/ssl.h>

#include "crypto/toolkit/OpenSslFailure.h"

namespace ardenax::toolkit {
namespace {

// Called as a connection's TLS state is freed, with the watcher it was reported to.
void reportClosed(void* connection, void* watcher, CRYPTO_EX_DATA* /*data*/, int /*index*/,
                  long /*argl*/, void* /*argp*/) {
    if (watcher != nullptr) {
        static_cast<TlsConnectionWatcher*>(watcher)->closed(
            SSL_get_fd(static_cast<const SSL*>(connection)));
    }
}

int connectionIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, reportClosed);
    return index;
}

int contextIndex() {
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

void reportOpened(const SSL* connection, int where, int /*value*/) {
    const int index = connectionIndex();
    if ((where & SSL_CB_HANDSHAKE_START) == 0 || SSL_get_ex_data(connection, index) != nullptr) {
        return;
    }
    auto* watcher = static_cast<TlsConnectionWatcher*>(
        SSL_CTX_get_ex_data(SSL_get_SSL_CTX(connection), contextIndex()));
    // OpenSSL hands the callback a const connection, yet its data is ours to set.
    if (watcher != nullptr &&
        SSL_set_ex_data(const_cast<SSL*>(connection), index, watcher) == 1) {  // NOLINT
        watcher->opened(SSL_get_fd(connection));
    }
}

// Called with the header of each record as it arrives, among other messages.
void reportReceived(int written, int /*version*/, int contentType, const void* data,
                    std::size_t length, SSL* connection, void* /*argument*/) {
    constexpr std::size_t HeaderLength = 5;
    if (written != 0 || contentType != SSL3_RT_HEADER || length < HeaderLength) {
        return;
    }
    auto* watcher =
        static_cast<TlsConnectionWatcher*>(SSL_get_ex_data(connection, connectionIndex()));
    if (watcher != nullptr) {
        const auto* header = static_cast<const unsigned char*>(data);
        // The record's length: the header's last two bytes, big-endian.
        watcher->received(SSL_get_fd(connection),
                          (static_cast<std::size_t>(header[3]) << 8) | header[4]);
    }
}

}  // namespace

void watchTlsConnections(ssl_ctx_st* context, TlsConnectionWatcher& watcher) {
    if (connectionIndex() < 0 || contextIndex() < 0 ||
        SSL_CTX_set_ex_data(context, contextIndex(), &watcher) != 1) {
        throw openSslFailure(u"TLS connection watch");
    }
    SSL_CTX_set_info_callback(context, reportOpened);
    SSL_CTX_set_msg_callback(context, reportReceived);
}

}  // namespace ardenax::toolkit
