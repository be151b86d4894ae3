#pragma once

#include <memory>
#include <optional>

#include "crypto/toolkit/Certificate.h"
#include "support/Failure.h"
#include "support/MessageBox.h"
#include "support/Text.h"

namespace ardenax {

// Encrypts the vote for the certificate the Promotor named: a Triple DES
// envelope with that certificate as the one recipient, in Base64.
class X509Crypter {
public:
    explicit X509Crypter(std::shared_ptr<MessageBox> messageBox);

    const Text& certText() const { return certText_; }
    void certText(const Text& vNewValue) { certText_ = vNewValue; }
    // Keeps the recipient certificate's text; it is read on the first Encrypt.
    void setCertificate(const Text& cert);
    // The Base64 envelope of the single-byte form of `dataToEncrypt`, or the
    // empty text after a failure, which the user has been shown.
    Text Encrypt(const Text& dataToEncrypt);

private:
    void LoadCertificate();
    void report(TextView operation, const Failure& failure) const;

    std::shared_ptr<MessageBox> messageBox_;
    Text certText_;
    // Loading happens once per object: after a failed import the certificate
    // stays absent and later calls do not try again.
    bool loadAttempted_ = false;
    std::optional<toolkit::Certificate> loadedCert_;
};

}  // namespace ardenax
