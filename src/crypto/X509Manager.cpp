#include "crypto/X509Manager.h"

#include <string>

#include "crypto/toolkit/CertificateStore.h"
#include "support/Failure.h"
#include "support/ResultTexts.h"

namespace ardenax {

X509Manager::X509Manager(const Environment& environment)
    : messageBox_(environment.messageBox), storeRoot_(environment.storeRoot) {}

X509Manager::X509Manager(const Environment& environment, SpareKey& spare)
    : X509Manager(environment) {
    spare_ = &spare;
}

Text X509Manager::GetCertificateEncoded() const {
    if (!generatedCert_) {
        return Text(results::NoCertificate);
    }
    return fromUtf8(generatedCert_->exportBase64());
}

Text X509Manager::GetPublicKeyEncoded() const {
    return fromUtf8(requireCertificate().publicKeyEncodedBase64());
}

Text X509Manager::GetPublicKeyAlgorithm() const {
    return requireCertificate().publicKeyAlgorithm();
}

std::shared_ptr<const toolkit::Certificate> X509Manager::GenerateCertificate() {
    try {
        // The key reaches the store only inside its certificate's file.
        const auto made = toolkit::Certificate::createSelfSigned(
            Subject, spare_ != nullptr ? spare_->take() : toolkit::KeyPair::generate());
        toolkit::CertificateStore(storeRoot_, RequestStore, toolkit::StoreAccess::ReadWrite)
            .add(made);
        // Earlier certificates of the same subject may still be in the store;
        // only the one just made carries this voter's new key.
        const toolkit::CertificateStore store(storeRoot_, RequestStore,
                                              toolkit::StoreAccess::ReadOnly);
        const auto thumbprint = made.thumbprint();
        for (const auto& found : store.findBySubject(SearchText)) {
            if (found->thumbprint() == thumbprint) {
                generatedCert_ = found;
                return generatedCert_;
            }
        }
        throw Failure(Failure::SubscriptOutOfRange,
                      u"The new certificate was not found in the request store", u"X509Manager");
    } catch (const std::exception& error) {
        const Failure failure = Failure::from(error);
        messageBox_->show(failure.numberText() + u"\r\n" + failure.description());
        return nullptr;
    }
}

void X509Manager::removeCertificate(const toolkit::Certificate& cert) {
    toolkit::CertificateStore(storeRoot_, RemovalStore, toolkit::StoreAccess::ReadWrite)
        .remove(cert);
}

int X509Manager::purgeLeftBehind(const std::filesystem::path& storeRoot,
                                 std::chrono::minutes olderThan) {
    toolkit::CertificateStore store(storeRoot, RequestStore, toolkit::StoreAccess::ReadWrite);
    const auto cutoff = std::chrono::system_clock::now() - olderThan;
    int removed = 0;
    for (const auto& entry : store.entries()) {
        if (entry.certificate->subject().find(SearchText) != Text::npos && entry.added <= cutoff) {
            store.remove(*entry.certificate);
            ++removed;
        }
    }
    return removed;
}

const toolkit::Certificate& X509Manager::requireCertificate() const {
    if (!generatedCert_) {
        throw Failure(Failure::NoCertificate, u"No certificate", u"X509Manager");
    }
    return *generatedCert_;
}

}  // namespace ardenax
