#include "crypto/toolkit/Pki.h"

#include <array>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/sha.h>
#include <openssl/x509v3.h>

#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/OpenSslFailure.h"
#include "crypto/toolkit/OpenSslHandles.h"

namespace ardenax::toolkit {
namespace {

constexpr int SerialBits = 128;
constexpr long HourSeconds = 3600;
constexpr int ShortValidityDays = 30;
constexpr int RecipientValidityDays = 365;
// What it signs is checked long after the election.
constexpr int SigningValidityDays = 10 * 365;
constexpr int RsaKeyBits = 2048;

void addExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    const ExtensionHandle extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    if (!extension || X509_add_ext(certificate, extension.get(), -1) != 1) {
        throw openSslFailure(u"Certificate extension");
    }
}

// Everything but extensions and signature: serial, names, validity, key.
X509Handle newCertificate(std::string_view commonName, EVP_PKEY* key, X509* issuer, int days) {
    X509Handle x509(X509_new());
    const BignumHandle serial(BN_new());
    if (!x509 || !serial) {
        throw openSslFailure(u"Certificate");
    }
    const std::string name(commonName);
    X509_NAME* subject = X509_get_subject_name(x509.get());
    if (BN_rand(serial.get(), SerialBits, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY) != 1 ||
        BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(x509.get())) == nullptr ||
        X509_set_version(x509.get(), X509_VERSION_3) != 1 ||
        X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1,
                                   0) != 1 ||
        X509_set_issuer_name(x509.get(),
                             issuer != nullptr ? X509_get_subject_name(issuer) : subject) != 1 ||
        X509_gmtime_adj(X509_getm_notBefore(x509.get()), -HourSeconds) == nullptr ||
        X509_time_adj_ex(X509_getm_notAfter(x509.get()), days, 0, nullptr) == nullptr ||
        X509_set_pubkey(x509.get(), key) != 1) {
        throw openSslFailure(u"Certificate");
    }
    return x509;
}

Certificate finish(X509Handle x509, KeyHandle key, EVP_PKEY* signingKey) {
    if (X509_sign(x509.get(), signingKey, EVP_sha256()) <= 0) {
        throw openSslFailure(u"Certificate signature");
    }
    const auto bio = memoryBio();
    if (PEM_write_bio_X509(bio.get(), x509.get()) != 1 ||
        PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1) {
        throw openSslFailure(u"Certificate storage form");
    }
    return Certificate::fromStorageForm(bioContents(bio.get()));
}

KeyHandle newEcKey() {
    KeyHandle key(EVP_EC_gen("P-256"));
    if (!key) {
        throw openSslFailure(u"Key pair");
    }
    return key;
}

// OpenSSL's own parser of IPv4 and IPv6 text, the same on every system.
bool isIpAddress(const std::string& host) {
    ASN1_OCTET_STRING* address = a2i_IPADDRESS(host.c_str());
    ERR_clear_error();
    ASN1_OCTET_STRING_free(address);
    return address != nullptr;
}

// An RSA self-signed certificate whose key serves `usage` only.
Certificate selfSignedRsa(std::string_view commonName, int days, const std::string& usage) {
    KeyHandle key(EVP_RSA_gen(RsaKeyBits));
    if (!key) {
        throw openSslFailure(u"Key pair");
    }
    auto x509 = newCertificate(commonName, key.get(), nullptr, days);
    addExtension(x509.get(), x509.get(), NID_key_usage, "critical," + usage);
    addExtension(x509.get(), x509.get(), NID_subject_key_identifier, "hash");
    EVP_PKEY* signingKey = key.get();
    return finish(std::move(x509), std::move(key), signingKey);
}

}  // namespace

bool hasValidSelfSignature(const Certificate& certificate) {
    const bool valid = X509_self_signed(certificate.x509(), 1) == 1;
    ERR_clear_error();
    return valid;
}

Certificate createAuthority(std::string_view commonName) {
    auto key = newEcKey();
    auto x509 = newCertificate(commonName, key.get(), nullptr, ShortValidityDays);
    addExtension(x509.get(), x509.get(), NID_basic_constraints, "critical,CA:TRUE");
    addExtension(x509.get(), x509.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(x509.get(), x509.get(), NID_subject_key_identifier, "hash");
    EVP_PKEY* signingKey = key.get();
    return finish(std::move(x509), std::move(key), signingKey);
}

Certificate issueServerCertificate(const Certificate& authority,
                                   const std::vector<std::string>& hosts) {
    if (!authority.hasPrivateKey() || hosts.empty()) {
        throw Failure(Failure::InvalidProcedureCall,
                      u"A server certificate needs the authority's key and a host name",
                      u"Certificate");
    }
    std::string names;
    for (const auto& host : hosts) {
        names += names.empty() ? "" : ",";
        names += isIpAddress(host) ? "IP:" : "DNS:";
        names += host;
    }
    auto key = newEcKey();
    auto x509 = newCertificate(hosts.front(), key.get(), authority.x509(), ShortValidityDays);
    addExtension(x509.get(), authority.x509(), NID_basic_constraints, "critical,CA:FALSE");
    addExtension(x509.get(), authority.x509(), NID_key_usage, "critical,digitalSignature");
    addExtension(x509.get(), authority.x509(), NID_ext_key_usage, "serverAuth");
    addExtension(x509.get(), authority.x509(), NID_subject_alt_name, names);
    addExtension(x509.get(), authority.x509(), NID_authority_key_identifier, "keyid:always");
    return finish(std::move(x509), std::move(key), authority.privateKey());
}

Certificate createRecipientCertificate(std::string_view commonName) {
    return selfSignedRsa(commonName, RecipientValidityDays, "keyEncipherment");
}

Certificate createSigningCertificate(std::string_view commonName) {
    return selfSignedRsa(commonName, SigningValidityDays, "digitalSignature");
}

std::string certificatePem(const Certificate& certificate) {
    const auto bio = memoryBio();
    if (PEM_write_bio_X509(bio.get(), certificate.x509()) != 1) {
        throw openSslFailure(u"Certificate PEM");
    }
    return bioContents(bio.get());
}

std::string publicKeyPin(const Certificate& certificate) {
    X509_PUBKEY* key = X509_get_X509_PUBKEY(certificate.x509());
    const int length = i2d_X509_PUBKEY(key, nullptr);
    if (length <= 0) {
        throw openSslFailure(u"Public key");
    }
    std::vector<unsigned char> der(static_cast<std::size_t>(length));
    unsigned char* end = der.data();
    i2d_X509_PUBKEY(key, &end);
    std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
    SHA256(der.data(), der.size(), digest.data());
    return base64Encode(
        std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

}  // namespace ardenax::toolkit
