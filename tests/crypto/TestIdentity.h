#pragma once

#include <string>

#include <gtest/gtest.h>

#include "crypto/toolkit/Certificate.h"
#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/OpenSslHandles.h"
#include "crypto/toolkit/Pki.h"

namespace ardenax::testing {

// A certificate "CN=<commonName>" with its key; elliptic curve, as such keys
// are quick to make.
inline toolkit::Certificate makeIdentity(const std::string& commonName) {
    return toolkit::createAuthority(commonName);
}

// A CMS message from the Base64 text the code under test produced.
inline toolkit::CmsHandle parseCms(const Text& base64) {
    const auto der = toolkit::base64Decode(toUtf8(base64));
    const auto* data = reinterpret_cast<const unsigned char*>(der.data());
    toolkit::CmsHandle cms(d2i_CMS_ContentInfo(nullptr, &data, static_cast<long>(der.size())));
    EXPECT_TRUE(cms);
    return cms;
}

inline bool isOneLine(const Text& text) {
    return text.find(u'\n') == Text::npos && text.find(u'\r') == Text::npos;
}

// The one key pair of the system's own making that the tests share, as making
// RSA keys is slow.
inline const toolkit::Certificate& generatedCertificate() {
    static const auto certificate =
        toolkit::Certificate::createSelfSigned(u"CN=ArdenaCert, O=TELMARQ, C=PT");
    return certificate;
}

}  // namespace ardenax::testing
