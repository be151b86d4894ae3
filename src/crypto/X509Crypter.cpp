#include "crypto/X509Crypter.h"

#include <string>
#include <utility>

#include "crypto/toolkit/Cms.h"
#include "crypto/toolkit/Encoding.h"

namespace ardenax {
namespace {

constexpr TextView EncryptOperation = u"Encrypt Operation";
constexpr TextView LoadOperation = u"Load Certificate [on Encrypt Operation]";

}  // namespace

X509Crypter::X509Crypter(std::shared_ptr<MessageBox> messageBox)
    : messageBox_(std::move(messageBox)) {}

void X509Crypter::setCertificate(const Text& cert) {
    certText_ = cert;
}

Text X509Crypter::Encrypt(const Text& dataToEncrypt) {
    try {
        if (!loadAttempted_) {
            LoadCertificate();
        }
        if (!loadedCert_) {
            throw Failure(Failure::NoCertificate, u"No certificate", u"X509Crypter");
        }
        return fromUtf8(
            toolkit::base64Encode(toolkit::envelop(toAnsi(dataToEncrypt), *loadedCert_)));
    } catch (const std::exception& error) {
        report(EncryptOperation, Failure::from(error));
        return {};
    }
}

void X509Crypter::LoadCertificate() {
    loadAttempted_ = true;
    try {
        loadedCert_.emplace(toolkit::Certificate::import(toAnsi(certText_)));
    } catch (const std::exception& error) {
        report(LoadOperation, Failure::from(error));
    }
}

void X509Crypter::report(TextView operation, const Failure& failure) const {
    messageBox_->show(u"Ocorreu o erro " + Text(operation) + u".\r\n" +
                      u"Contacte a equipa de suporte!\r\n" + u"\r\n" + u"Codigo: " +
                      failure.numberText() + u"\r\n" + u"Descricao: " + failure.description() +
                      u"\r\n" + u"Origem: " + failure.source());
}

}  // namespace ardenax
