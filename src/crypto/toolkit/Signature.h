#pragma once

#include <string_view>

#include "crypto/toolkit/Bytes.h"
#include "crypto/toolkit/Certificate.h"

namespace ardenax::toolkit {

// A signature of `data` with the certificate's private key: RSA PKCS #1 v1.5
// over SHA-256 (the key must be RSA). Raises a failure without a private key.
Bytes signSha256(const Certificate& signer, std::string_view data);

// Whether `signature` is the certificate's key's RSA PKCS #1 v1.5 SHA-256
// signature of `data`. Never raises for what the signature holds.
bool verifySha256(const Certificate& signer, std::string_view data, std::string_view signature);

}  // namespace ardenax::toolkit
