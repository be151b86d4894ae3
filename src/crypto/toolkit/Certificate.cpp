#include "crypto/toolkit/Certificate.h"

#include <array>
#include <vector>

#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/OpenSslFailure.h"
#include "crypto/toolkit/OpenSslHandles.h"
#include "support/Split.h"

namespace ardenax::toolkit {
namespace {

constexpr TextView Source = u"Certificate";
constexpr int SerialBits = 128;
constexpr long HourSeconds = 3600;
constexpr int ValidityDays = 30;

Failure malformed(TextView what) {
    ERR_clear_error();
    return {Failure::InvalidProcedureCall, Text(what), Text(Source)};
}

// Never asks for a pass phrase: nothing this toolkit reads is encrypted, and a
// prompt on the terminal would block the caller.
int noPassphrase(char* /*buffer*/, int /*size*/, int /*rwflag*/, void* /*userdata*/) {
    return 0;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// "CN=a, O=b, C=c" (most specific first) as a name encoded C, O, CN.
NameHandle parseName(TextView subject) {
    struct Attribute {
        std::string type;
        std::string value;
    };
    std::vector<Attribute> attributes;
    for (const auto& piece : split(subject, u",", LetterCase::Exact)) {
        const std::string text = toUtf8(piece);
        const auto equals = text.find('=');
        const auto type = trim(std::string_view(text).substr(0, equals));
        const auto value = equals == std::string::npos
                               ? std::string_view()
                               : trim(std::string_view(text).substr(equals + 1));
        if (type.empty() || value.empty()) {
            throw malformed(u"Malformed distinguished name");
        }
        attributes.push_back({std::string(type), std::string(value)});
    }
    if (attributes.empty()) {
        throw malformed(u"Malformed distinguished name");
    }
    NameHandle name(X509_NAME_new());
    if (!name) {
        throw openSslFailure(u"Distinguished name");
    }
    for (auto it = attributes.rbegin(); it != attributes.rend(); ++it) {
        if (X509_NAME_add_entry_by_txt(name.get(), it->type.c_str(), MBSTRING_UTF8,
                                       reinterpret_cast<const unsigned char*>(it->value.c_str()),
                                       -1, -1, 0) != 1) {
            throw openSslFailure(u"Distinguished name");
        }
    }
    return name;
}

void addExtension(X509* x509, X509V3_CTX* context, int nid, const char* value) {
    const ExtensionHandle extension(X509V3_EXT_conf_nid(nullptr, context, nid, value));
    if (!extension || X509_add_ext(x509, extension.get(), -1) != 1) {
        throw openSslFailure(u"Certificate extension");
    }
}

void setRandomSerial(X509* x509) {
    // The top bit set keeps the number at exactly 128 bits and never zero.
    const BignumHandle serial(BN_new());
    if (!serial || BN_rand(serial.get(), SerialBits, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY) != 1 ||
        BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(x509)) == nullptr) {
        throw openSslFailure(u"Serial number");
    }
}

X509Handle fromDer(std::string_view der) {
    const auto* data = reinterpret_cast<const unsigned char*>(der.data());
    const auto* end = data + der.size();
    X509Handle x509(d2i_X509(nullptr, &data, static_cast<long>(der.size())));
    if (!x509 || data != end) {
        throw malformed(u"Malformed certificate");
    }
    return x509;
}

}  // namespace

void releaseX509(x509_st* x509) {
    X509_free(x509);
}

void releaseKey(evp_pkey_st* key) {
    EVP_PKEY_free(key);
}

Certificate::Certificate(x509_st* x509, evp_pkey_st* key) : x509_(x509), key_(key) {}

Certificate::Certificate(Certificate&&) noexcept = default;
Certificate& Certificate::operator=(Certificate&&) noexcept = default;
Certificate::~Certificate() = default;

Certificate Certificate::import(std::string_view encoded) {
    const auto text = trim(encoded);
    if (text.empty()) {
        throw malformed(u"No certificate text");
    }
    if (text.find("-----BEGIN") != std::string_view::npos) {
        const auto bio = memoryBio(text);
        X509Handle x509(PEM_read_bio_X509(bio.get(), nullptr, noPassphrase, nullptr));
        if (!x509) {
            throw malformed(u"Malformed certificate");
        }
        return {x509.release(), nullptr};
    }
    Bytes der;
    try {
        der = base64Decode(text);
    } catch (const Failure&) {
        throw malformed(u"Malformed certificate");
    }
    return {fromDer(der).release(), nullptr};
}

Certificate Certificate::createSelfSigned(TextView subject) {
    return createSelfSigned(subject, KeyPair::generate());
}

Certificate Certificate::createSelfSigned(TextView subject, KeyPair keyPair) {
    const auto name = parseName(subject);
    KeyHandle key(keyPair.release());
    X509Handle x509(X509_new());
    if (!key || !x509) {
        throw openSslFailure(u"Key pair");
    }
    setRandomSerial(x509.get());
    if (X509_set_version(x509.get(), X509_VERSION_3) != 1 ||
        X509_set_subject_name(x509.get(), name.get()) != 1 ||
        X509_set_issuer_name(x509.get(), name.get()) != 1 ||
        X509_gmtime_adj(X509_getm_notBefore(x509.get()), -HourSeconds) == nullptr ||
        X509_time_adj_ex(X509_getm_notAfter(x509.get()), ValidityDays, 0, nullptr) == nullptr ||
        X509_set_pubkey(x509.get(), key.get()) != 1) {
        throw openSslFailure(u"Certificate");
    }
    X509V3_CTX context;
    X509V3_set_ctx(&context, x509.get(), x509.get(), nullptr, nullptr, 0);
    addExtension(x509.get(), &context, NID_key_usage, "critical,digitalSignature");
    addExtension(x509.get(), &context, NID_subject_key_identifier, "hash");
    if (X509_sign(x509.get(), key.get(), EVP_sha256()) <= 0) {
        throw openSslFailure(u"Certificate signature");
    }
    return {x509.release(), key.release()};
}

Certificate Certificate::fromStorageForm(std::string_view pem) {
    const auto bio = memoryBio(pem);
    X509Handle x509(PEM_read_bio_X509(bio.get(), nullptr, noPassphrase, nullptr));
    KeyHandle key(x509 ? PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassphrase, nullptr)
                       : nullptr);
    if (!x509 || !key || X509_check_private_key(x509.get(), key.get()) != 1) {
        throw malformed(u"Malformed stored certificate");
    }
    return {x509.release(), key.release()};
}

Certificate Certificate::withPrivateKey(std::string_view encoded, std::string_view keyPem,
                                        std::string_view passphrase) {
    Certificate certificate = import(encoded);
    const auto bio = memoryBio(keyPem);
    // OpenSSL reads the passphrase as a C string.
    const std::string secret(passphrase);
    KeyHandle key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr,
                                          const_cast<char*>(secret.c_str())));  // NOLINT
    if (!key) {
        throw openSslFailure(u"Private key");
    }
    if (X509_check_private_key(certificate.x509(), key.get()) != 1) {
        ERR_clear_error();
        throw malformed(u"The private key is not the certificate's");
    }
    certificate.key_.reset(key.release());
    return certificate;
}

Bytes Certificate::der() const {
    const int length = i2d_X509(x509_.get(), nullptr);
    if (length <= 0) {
        throw openSslFailure(u"Certificate encoding");
    }
    Bytes der(static_cast<std::size_t>(length), '\0');
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    i2d_X509(x509_.get(), &out);
    return der;
}

std::string Certificate::exportBase64() const {
    return base64Encode(der());
}

std::string Certificate::thumbprint() const {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (X509_digest(x509_.get(), EVP_sha1(), digest.data(), &length) != 1) {
        throw openSslFailure(u"Thumbprint");
    }
    return toHex(std::string_view(reinterpret_cast<const char*>(digest.data()), length));
}

Text Certificate::subject() const {
    // One-line form with ", " between attributes and UTF-8 kept as it is.
    constexpr unsigned long Flags =
        (XN_FLAG_RFC2253 & ~XN_FLAG_SEP_MASK & ~ASN1_STRFLGS_ESC_MSB) | XN_FLAG_SEP_CPLUS_SPC;
    const auto bio = memoryBio();
    if (X509_NAME_print_ex(bio.get(), X509_get_subject_name(x509_.get()), 0, Flags) < 0) {
        throw openSslFailure(u"Subject");
    }
    return fromUtf8(bioContents(bio.get()));
}

Text Certificate::publicKeyAlgorithm() const {
    ASN1_OBJECT* algorithm = nullptr;
    if (X509_PUBKEY_get0_param(&algorithm, nullptr, nullptr, nullptr,
                               X509_get_X509_PUBKEY(x509_.get())) != 1) {
        throw openSslFailure(u"Public key algorithm");
    }
    const int nid = OBJ_obj2nid(algorithm);
    switch (nid) {
        case NID_rsaEncryption:
            return u"RSA";
        case NID_X9_62_id_ecPublicKey:
            return u"ECC";
        case NID_dsa:
            return u"DSA";
        case NID_dhpublicnumber:
            return u"DH";
        case NID_undef: {
            std::array<char, 128> dotted{};
            OBJ_obj2txt(dotted.data(), dotted.size(), algorithm, 1);
            return fromUtf8(dotted.data());
        }
        default:
            return fromUtf8(OBJ_nid2ln(nid));
    }
}

std::string Certificate::publicKeyEncodedBase64() const {
    const ASN1_BIT_STRING* bits = X509_get0_pubkey_bitstr(x509_.get());
    if (bits == nullptr) {
        throw openSslFailure(u"Public key");
    }
    return base64Encode(std::string_view(reinterpret_cast<const char*>(ASN1_STRING_get0_data(bits)),
                                         static_cast<std::size_t>(ASN1_STRING_length(bits))));
}

std::string Certificate::storageForm() const {
    const auto bio = memoryBio();
    if (PEM_write_bio_X509(bio.get(), x509_.get()) != 1 ||
        (key_ && PEM_write_bio_PrivateKey(bio.get(), key_.get(), nullptr, nullptr, 0, nullptr,
                                          nullptr) != 1)) {
        throw openSslFailure(u"Certificate storage form");
    }
    return bioContents(bio.get());
}

std::string Certificate::privateKeyPem(std::string_view passphrase) const {
    if (!key_) {
        throw Failure(Failure::InvalidProcedureCall, u"The certificate has no private key",
                      u"OpenSSL");
    }
    const auto bio = memoryBio();
    const std::string secret(passphrase);
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): OpenSSL does not write to it
    auto* text = secret.empty() ? nullptr : const_cast<char*>(secret.c_str());
    if (PEM_write_bio_PKCS8PrivateKey(bio.get(), key_.get(),
                                      secret.empty() ? nullptr : EVP_aes_256_cbc(), text,
                                      static_cast<int>(secret.size()), nullptr, nullptr) != 1) {
        throw openSslFailure(u"Private key");
    }
    return bioContents(bio.get());
}

}  // namespace ardenax::toolkit
