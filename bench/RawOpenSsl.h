#pragma once

#include <string>
#include <string_view>

#include "crypto/toolkit/Certificate.h"

// The voter's cryptography written straight against OpenSSL, with none of the
// toolkit around it: what the toolkit's operations are measured against.
namespace ardenax::bench {

// An RSA 2048 key and a certificate for it, self-signed with SHA-256.
void rawSelfSignedCertificate();
// Base64 of a CMS EnvelopedData (des-ede3-cbc) of `content` for the
// certificate given in Base64 DER.
std::string rawEnvelope(std::string_view content, const std::string& recipientBase64);
// Base64 of a CMS SignedData (SHA-256, content embedded) of `content` by
// `signer`, whose OpenSSL certificate and key are used as they are.
std::string rawSignature(std::string_view content, const toolkit::Certificate& signer);

}  // namespace ardenax::bench
