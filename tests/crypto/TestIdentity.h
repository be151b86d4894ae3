#pragma once

#include <string>

#include "crypto/toolkit/Certificate.h"
#include "crypto/toolkit/Pki.h"

namespace ardenax::testing {

// A certificate "CN=<commonName>" with its key; elliptic curve, as such keys
// are quick to make.
inline toolkit::Certificate makeIdentity(const std::string& commonName) {
    return toolkit::createAuthority(commonName);
}

// The one key pair of the system's own making that the tests share, as making
// RSA keys is slow.
inline const toolkit::Certificate& generatedCertificate() {
    static const auto certificate =
        toolkit::Certificate::createSelfSigned(u"CN=ArdenaCert, O=TELMARQ, C=PT");
    return certificate;
}

}  // namespace ardenax::testing
