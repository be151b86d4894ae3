#pragma once

#include <stop_token>

#include "support/CHandle.h"

// OpenSSL's own type, declared here so that this header needs none of its headers.
struct evp_pkey_st;

namespace ardenax::toolkit {

// Gives a key back to OpenSSL, where OpenSSL's headers are included.
void releaseKey(evp_pkey_st* key);

// A voter's RSA 2048 key pair, in memory only until a certificate is made for
// it. Move-only: a key is handed on, never copied.
class KeyPair {
public:
    // Makes a new key pair. A stop requested on `stop` abandons the work
    // (OpenSSL looks between prime candidates) and raises a failure.
    static KeyPair generate(std::stop_token stop = {});

    // Gives up the key; the object is empty afterwards.
    evp_pkey_st* release() { return key_.release(); }
    evp_pkey_st* get() const { return key_.get(); }

private:
    explicit KeyPair(evp_pkey_st* key) : key_(key) {}

    CHandle<releaseKey> key_;
};

}  // namespace ardenax::toolkit
