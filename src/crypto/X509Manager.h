#pragma once

#include <chrono>
#include <filesystem>
#include <memory>

#include "crypto/SpareKey.h"
#include "crypto/toolkit/Certificate.h"
#include "support/Environment.h"
#include "support/MessageBox.h"
#include "support/Text.h"

namespace ardenax {

// Gives the voter a fresh key pair and self-signed certificate before each
// token request, and takes the certificate out of the request store again when
// the platform is reset.
class X509Manager {
public:
    static constexpr TextView Subject = u"CN=ArdenaCert, O=TELMARQ, C=PT";
    static constexpr TextView SearchText = u"ArdenaCert";
    static constexpr TextView RequestStore = u"REQUEST";
    static constexpr TextView RemovalStore = u"Request";

    explicit X509Manager(const Environment& environment);
    // GenerateCertificate takes its key pair from `spare`, which must
    // outlive the manager, instead of making one there and then.
    X509Manager(const Environment& environment, SpareKey& spare);

    // The key pair is made by GenerateCertificate; this does nothing.
    void GenerateKeyPair() {}
    // Base64 of the certificate's DER encoding, or "ERROR56" without a certificate.
    Text GetCertificateEncoded() const;
    // Base64 of the certificate's encoded public key; raises 5091 without a certificate.
    Text GetPublicKeyEncoded() const;
    // The friendly name of the public key's algorithm ("RSA"); raises 5091
    // without a certificate.
    Text GetPublicKeyAlgorithm() const;
    // Makes a new key pair and certificate, puts them in the request store and
    // returns the certificate as found there again, private key attached. On
    // failure the user is shown the error and the result is null.
    std::shared_ptr<const toolkit::Certificate> GenerateCertificate();
    // Deletes `cert`, its key included, from the request store. Failures are
    // raised to the caller.
    void removeCertificate(const toolkit::Certificate& cert);

    // What a control left in the request store when it ended without a reset
    // (a crash, a page that went): the voting certificates, keys included,
    // added over `olderThan` ago, so that a vote still under way keeps its
    // key. How many went. Failures are raised to the caller.
    static int purgeLeftBehind(const std::filesystem::path& storeRoot,
                               std::chrono::minutes olderThan);
    // How old a certificate must be before a control's start takes it for
    // one left behind.
    static constexpr std::chrono::minutes LeftBehindAfter{60};

private:
    const toolkit::Certificate& requireCertificate() const;

    std::shared_ptr<MessageBox> messageBox_;
    std::filesystem::path storeRoot_;
    SpareKey* spare_ = nullptr;
    std::shared_ptr<const toolkit::Certificate> generatedCert_;
};

}  // namespace ardenax
