#pragma once

#include <optional>
#include <string_view>

#include "crypto/toolkit/Bytes.h"
#include "crypto/toolkit/Certificate.h"

namespace ardenax::toolkit {

// What opening a signed message found. Only Valid carries content and signer.
enum class SignedDataCheck {
    Valid,
    Malformed,            // not DER of a CMS SignedData
    Detached,             // the content is not embedded
    NotOneSigner,         // no signer, or more than one
    NoSignerCertificate,  // the signer's certificate is not in the message
    BadSignature,         // the signature or the content digest does not verify
};

struct SignedDataOpening {
    SignedDataCheck check = SignedDataCheck::Malformed;
    Bytes content;
    std::optional<Certificate> signer;
    // The signer's signature value: only the signer's key makes another one
    // for the same content, however the message around it is encoded.
    Bytes signature;
};

// Opens a CMS SignedData message (DER) that embeds its content and carries its
// one signer's certificate, and verifies that signature with that certificate.
// The certificate itself is not verified against any authority: who may sign
// is the caller's decision, made on the signer returned.
SignedDataOpening openSignedData(std::string_view der);

enum class EnvelopeCheck {
    Opened,
    Malformed,   // not DER of a CMS EnvelopedData
    Unopenable,  // not for this recipient, or the decryption failed
};

struct EnvelopeOpening {
    EnvelopeCheck check = EnvelopeCheck::Malformed;
    Bytes content;
};

enum class EnvelopeAddress {
    Malformed,     // not DER of a CMS EnvelopedData
    ForOthers,     // none of its recipients is the one asked about
    ForRecipient,  // one of its recipients is
};

// Whether a CMS EnvelopedData message (DER) is addressed to `recipient`, told
// from the certificate alone, without its private key.
EnvelopeAddress envelopeAddress(std::string_view der, const Certificate& recipient);

// Decrypts a CMS EnvelopedData message (DER) with the recipient's private key.
// Raises a failure when `recipient` has no private key.
EnvelopeOpening openEnvelopedData(std::string_view der, const Certificate& recipient);

}  // namespace ardenax::toolkit
