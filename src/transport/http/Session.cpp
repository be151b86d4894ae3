#include "transport/http/Session.h"

#include <utility>

#include <curl/curl.h>

#include "support/Failure.h"

namespace ardenax::http {
namespace {

// libcurl's process-wide set-up, done once whichever thread comes first.
class CurlLibrary {
public:
    CurlLibrary() : initialised_(curl_global_init(CURL_GLOBAL_DEFAULT)) {}
    CurlLibrary(const CurlLibrary&) = delete;
    CurlLibrary& operator=(const CurlLibrary&) = delete;
    ~CurlLibrary() {
        if (initialised_ == CURLE_OK) {
            curl_global_cleanup();
        }
    }

    CURLcode initialised() const { return initialised_; }

private:
    CURLcode initialised_;
};

void requireLibrary() {
    static const CurlLibrary library;
    if (library.initialised() != CURLE_OK) {
        throw Failure(library.initialised(),
                      u"The HTTP library could not be initialised: " +
                          fromUtf8(curl_easy_strerror(library.initialised())));
    }
}

void shareData(CURLSH* handle, curl_lock_data data) {
    const CURLSHcode code = curl_share_setopt(handle, CURLSHOPT_SHARE, data);
    if (code != CURLSHE_OK) {
        throw Failure(
            code, u"The HTTP session could not be set up: " + fromUtf8(curl_share_strerror(code)));
    }
}

}  // namespace

void releaseShare(void* share) {
    curl_share_cleanup(share);
}

Session::Session(HttpSettings settings) : settings_(std::move(settings)) {
    requireLibrary();
    share_.reset(curl_share_init());
    if (!share_) {
        throw Failure(CURLE_OUT_OF_MEMORY, u"The HTTP session could not be created");
    }
    // Connections stay with one request handle (a client keeps one): libcurl
    // does not promise that a shared connection cache is sound.
    shareData(share_.get(), CURL_LOCK_DATA_COOKIE);
    shareData(share_.get(), CURL_LOCK_DATA_DNS);
    shareData(share_.get(), CURL_LOCK_DATA_SSL_SESSION);
}

}  // namespace ardenax::http
