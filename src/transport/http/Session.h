#pragma once

#include "support/CHandle.h"
#include "support/Environment.h"

namespace ardenax::http {

// Gives a libcurl share handle back, where libcurl's headers are included.
void releaseShare(void* share);

// What all requests of one client share, as one browser profile would: the
// settings and, in memory only, the cookie jar, the DNS cache and the TLS
// sessions. Making one touches no network. Used by one thread at a time.
class Session {
public:
    explicit Session(HttpSettings settings);

    const HttpSettings& settings() const { return settings_; }
    // libcurl's share handle, for the requests made in this session.
    void* share() const { return share_.get(); }

private:
    HttpSettings settings_;
    CHandle<releaseShare> share_;
};

}  // namespace ardenax::http
