#pragma once

#include <string_view>

#include "crypto/toolkit/Bytes.h"
#include "crypto/toolkit/Certificate.h"

namespace ardenax::toolkit {

// A CMS EnvelopedData message (DER) of `content` for the one recipient: the
// content encrypted with des-ede3-cbc under a fresh random key, that key
// transported to an RSA recipient (or agreed with an elliptic curve one).
// The content is taken byte for byte.
Bytes envelop(std::string_view content, const Certificate& recipient);

// A CMS SignedData message (DER) with `content` embedded byte for byte and one
// signer: SHA-256, the signer's certificate included, signed attributes with
// the signing time. Raises a failure when the certificate has no private key.
Bytes signEmbedded(std::string_view content, const Certificate& signer);

}  // namespace ardenax::toolkit
