#pragma once

#include <memory>

#include "crypto/toolkit/Certificate.h"
#include "support/Text.h"

namespace ardenax {

// Signs the encrypted vote with the voter's certificate.
class X509Signer {
public:
    // The Base64 signed message with the single-byte form of `strDataToSign`
    // embedded. Raises a failure, and shows nothing, when `cert` is null or has
    // no private key.
    Text Sign(const Text& strDataToSign,
              const std::shared_ptr<const toolkit::Certificate>& cert) const;
};

}  // namespace ardenax
