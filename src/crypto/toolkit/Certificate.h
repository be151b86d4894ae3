#pragma once

#include <string>
#include <string_view>

#include "crypto/toolkit/Bytes.h"
#include "crypto/toolkit/KeyPair.h"
#include "support/CHandle.h"
#include "support/Text.h"

// OpenSSL's own types, declared here so that this header needs none of its headers.
struct evp_pkey_st;
struct x509_st;

namespace ardenax::toolkit {

// Give OpenSSL's objects back, where OpenSSL's headers are included
// (releaseKey, for keys, is declared with KeyPair).
void releaseX509(x509_st* x509);

// An X.509 certificate, with its private key when it has one. Immutable once
// made; shared as std::shared_ptr<const Certificate> where several hold it.
class Certificate {
public:
    // Imports an encoded certificate: Base64 of the DER encoding (white space
    // and line breaks ignored) or PEM. Raises a failure on an empty or
    // malformed text.
    static Certificate import(std::string_view encoded);
    // Makes a new RSA 2048 key pair and a certificate for it, self-signed with
    // SHA-256. `subject` is a distinguished name written most specific first
    // ("CN=..., O=..., C=..."); each comma ends one attribute, as no escaping
    // is needed for the names this system uses.
    static Certificate createSelfSigned(TextView subject);
    // The same for a key pair made beforehand, which the certificate takes.
    static Certificate createSelfSigned(TextView subject, KeyPair key);
    // Reads the form written by `storageForm`: a PEM certificate, then its PEM
    // private key. Raises a failure when either is missing or they do not match.
    static Certificate fromStorageForm(std::string_view pem);
    // An encoded certificate (as `import` takes it) with the private key of
    // `keyPem`, as `privateKeyPem` writes it. Raises a failure when the key
    // does not read (a wrong passphrase among the reasons) or is not the
    // certificate's.
    static Certificate withPrivateKey(std::string_view encoded, std::string_view keyPem,
                                      std::string_view passphrase = {});

    Certificate(const Certificate&) = delete;
    Certificate& operator=(const Certificate&) = delete;
    Certificate(Certificate&&) noexcept;
    Certificate& operator=(Certificate&&) noexcept;
    ~Certificate();

    // The DER encoding.
    Bytes der() const;
    // Base64 of the DER encoding, on one line.
    std::string exportBase64() const;
    // The SHA-1 digest of the DER encoding, in upper-case hexadecimal.
    std::string thumbprint() const;
    // The subject, most specific attribute first: "CN=ArdenaCert, O=TELMARQ, C=PT".
    Text subject() const;
    // The usual name of the public key's algorithm: "RSA", "ECC" (any elliptic
    // curve key), "DSA", "DH"; otherwise OpenSSL's long name of the algorithm.
    Text publicKeyAlgorithm() const;
    // The public key as the certificate carries it (the subject public key
    // bits; PKCS #1 RSAPublicKey for RSA), in Base64 on one line.
    std::string publicKeyEncodedBase64() const;
    bool hasPrivateKey() const { return static_cast<bool>(key_); }
    // The certificate and its private key (if any) in PEM, for a certificate store.
    std::string storageForm() const;
    // The private key alone, PKCS #8 in PEM, encrypted with AES-256 under
    // `passphrase` when one is given, for a key kept in a file of its own.
    // Raises a failure without a private key.
    std::string privateKeyPem(std::string_view passphrase = {}) const;

    // The underlying OpenSSL objects, for the toolkit's own operations.
    x509_st* x509() const { return x509_.get(); }
    evp_pkey_st* privateKey() const { return key_.get(); }

private:
    // Takes ownership of both; `key` may be null.
    Certificate(x509_st* x509, evp_pkey_st* key);

    CHandle<releaseX509> x509_;
    CHandle<releaseKey> key_;
};

}  // namespace ardenax::toolkit
