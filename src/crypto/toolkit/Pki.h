#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "crypto/toolkit/Certificate.h"

namespace ardenax::toolkit {

// Whether the certificate names itself as issuer and its signature verifies
// with its own public key. Key usage is not consulted: a voter's certificate
// is self-signed without being a certificate authority.
bool hasValidSelfSignature(const Certificate& certificate);

// A throwaway certificate authority (elliptic curve P-256, SHA-256, 30 days),
// for a server that has no certificate of its own to offer on loopback.
Certificate createAuthority(std::string_view commonName);

// A TLS server certificate issued by `authority` for `hosts`: IPv4 or IPv6
// addresses become IP names, anything else DNS names. P-256, 30 days.
Certificate issueServerCertificate(const Certificate& authority,
                                   const std::vector<std::string>& hosts);

// An RSA 2048 self-signed certificate for receiving enveloped messages (key
// encipherment), valid for a year.
Certificate createRecipientCertificate(std::string_view commonName);

// An RSA 2048 self-signed certificate for signing (digital signature), valid
// for ten years.
Certificate createSigningCertificate(std::string_view commonName);

// The certificate alone in PEM, for a file that clients trust.
std::string certificatePem(const Certificate& certificate);

// Base64 of the SHA-256 digest of the certificate's SubjectPublicKeyInfo: the
// form in which browsers are told to accept one server's key.
std::string publicKeyPin(const Certificate& certificate);

}  // namespace ardenax::toolkit
