#include <fstream>

#include <gtest/gtest.h>

#include "common/Failures.h"
#include "common/RecordingMessageBox.h"
#include "common/TempDir.h"
#include "crypto/TestIdentity.h"
#include "crypto/X509Manager.h"
#include "crypto/toolkit/CertificateStore.h"

namespace ardenax {
namespace {

using testing::failureOf;
using testing::isOneLine;
using testing::RecordingMessageBox;
using testing::TempDir;
using toolkit::CertificateStore;
using toolkit::StoreAccess;

class X509ManagerTest : public ::testing::Test {
protected:
    X509ManagerTest() {
        environment_.messageBox = messageBox_;
        environment_.storeRoot = root_.path() / "stores";
    }

    std::vector<std::string> storedThumbprints() const {
        std::vector<std::string> thumbprints;
        const CertificateStore store(environment_.storeRoot, u"request", StoreAccess::ReadOnly);
        for (const auto& certificate : store.certificates()) {
            thumbprints.push_back(certificate->thumbprint());
        }
        return thumbprints;
    }

    TempDir root_;
    std::shared_ptr<RecordingMessageBox> messageBox_ = std::make_shared<RecordingMessageBox>();
    Environment environment_;
};

TEST_F(X509ManagerTest, WithoutACertificateGettersAnswerErrors) {
    X509Manager manager(environment_);
    manager.GenerateKeyPair();
    EXPECT_EQ(manager.GetCertificateEncoded(), u"ERROR56");
    for (const auto& failure : {failureOf([&] { manager.GetPublicKeyAlgorithm(); }),
                                failureOf([&] { manager.GetPublicKeyEncoded(); })}) {
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->number(), 5091);
        EXPECT_EQ(failure->description(), u"No certificate");
        EXPECT_EQ(failure->source(), u"X509Manager");
    }
    EXPECT_TRUE(messageBox_->texts.empty());
}

TEST_F(X509ManagerTest, GeneratesACertificateWithItsKeyInTheRequestStore) {
    X509Manager manager(environment_);
    const auto certificate = manager.GenerateCertificate();
    ASSERT_TRUE(certificate);
    EXPECT_TRUE(certificate->hasPrivateKey());
    EXPECT_EQ(certificate->subject(), u"CN=ArdenaCert, O=TELMARQ, C=PT");
    EXPECT_EQ(storedThumbprints(), std::vector<std::string>{certificate->thumbprint()});

    const auto encoded = manager.GetCertificateEncoded();
    EXPECT_TRUE(isOneLine(encoded));
    EXPECT_EQ(toolkit::Certificate::import(toUtf8(encoded)).der(), certificate->der());
    EXPECT_EQ(manager.GetPublicKeyAlgorithm(), u"RSA");
    EXPECT_EQ(manager.GetPublicKeyEncoded(), fromUtf8(certificate->publicKeyEncodedBase64()));
    EXPECT_TRUE(messageBox_->texts.empty());
}

TEST_F(X509ManagerTest, ASecondRunWithoutResetReturnsTheNewCertificate) {
    const auto first = X509Manager(environment_).GenerateCertificate();
    X509Manager manager(environment_);
    const auto second = manager.GenerateCertificate();
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(second->thumbprint(), first->thumbprint());
    EXPECT_EQ(EVP_PKEY_eq(second->privateKey(), first->privateKey()), 0);
    EXPECT_EQ(storedThumbprints(),
              (std::vector<std::string>{first->thumbprint(), second->thumbprint()}));
    EXPECT_EQ(manager.GetCertificateEncoded(), fromUtf8(second->exportBase64()));
}

TEST_F(X509ManagerTest, RemovalDeletesTheCertificateAndToleratesAbsence) {
    const auto kept = testing::makeIdentity("ArdenaCert kept");
    CertificateStore(environment_.storeRoot, u"REQUEST", StoreAccess::ReadWrite).add(kept);
    const auto generated = X509Manager(environment_).GenerateCertificate();
    ASSERT_TRUE(generated);

    X509Manager(environment_).removeCertificate(*generated);
    EXPECT_EQ(storedThumbprints(), std::vector<std::string>{kept.thumbprint()});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(environment_.storeRoot / "REQUEST"),
                            std::filesystem::directory_iterator()),
              1);
    X509Manager(environment_).removeCertificate(*generated);
    EXPECT_EQ(storedThumbprints(), std::vector<std::string>{kept.thumbprint()});
}

TEST_F(X509ManagerTest, AStoreThatCannotBeWrittenIsReportedAndGivesNoCertificate) {
    std::ofstream(environment_.storeRoot) << "in the way";
    X509Manager manager(environment_);
    EXPECT_EQ(manager.GenerateCertificate(), nullptr);
    EXPECT_EQ(messageBox_->texts,
              std::vector<Text>{u"-2147467259\r\nCannot create the store folder " +
                                fromUtf8(environment_.storeRoot.string()) + u": Not a directory"});
    EXPECT_EQ(manager.GetCertificateEncoded(), u"ERROR56");
}

}  // namespace
}  // namespace ardenax
