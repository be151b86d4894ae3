#include <fstream>

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "common/Failures.h"
#include "common/RecordingMessageBox.h"
#include "common/TempDir.h"
#include "crypto/TestIdentity.h"
#include "crypto/X509Manager.h"
#include "crypto/toolkit/CertificateStore.h"

namespace ardenax {
namespace {

using testing::failureOf;
using toolkit::CertificateStore;
using toolkit::StoreAccess;

class X509ManagerTest : public ::testing::Test {
protected:
    X509ManagerTest() {
        environment_.messageBox = boxes_;
        environment_.storeRoot = root_.path() / "stores";
    }

    std::vector<std::string> stored() const {
        std::vector<std::string> thumbprints;
        const CertificateStore store(environment_.storeRoot, u"request", StoreAccess::ReadOnly);
        for (const auto& certificate : store.certificates()) {
            thumbprints.push_back(certificate->thumbprint());
        }
        return thumbprints;
    }

    testing::TempDir root_;
    std::shared_ptr<testing::RecordingMessageBox> boxes_ =
        std::make_shared<testing::RecordingMessageBox>();
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
    }
}

// Each run makes a new key whose certificate it finds again in the request
// store, even when earlier certificates of the same subject are still there.
TEST_F(X509ManagerTest, EachRunStoresAndReturnsANewCertificateWithItsKey) {
    const auto first = X509Manager(environment_).GenerateCertificate();
    X509Manager manager(environment_);
    const auto second = manager.GenerateCertificate();
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(second->hasPrivateKey());
    EXPECT_EQ(EVP_PKEY_eq(second->privateKey(), first->privateKey()), 0);
    EXPECT_EQ(stored(), (std::vector<std::string>{first->thumbprint(), second->thumbprint()}));
    EXPECT_EQ(manager.GetCertificateEncoded(), fromUtf8(second->exportBase64()));
    EXPECT_EQ(manager.GetPublicKeyAlgorithm(), u"RSA");
    EXPECT_EQ(manager.GetPublicKeyEncoded(), fromUtf8(second->publicKeyEncodedBase64()));
    EXPECT_TRUE(boxes_->texts.empty());
    manager.removeCertificate(*second);
    EXPECT_EQ(stored(), std::vector<std::string>{first->thumbprint()});
}

TEST_F(X509ManagerTest, AStoreThatCannotBeWrittenIsReportedAndGivesNoCertificate) {
    std::ofstream(environment_.storeRoot) << "in the way";
    X509Manager manager(environment_);
    EXPECT_EQ(manager.GenerateCertificate(), nullptr);
    EXPECT_EQ(boxes_->texts,
              std::vector<Text>{u"-2147467259\r\nCannot create the store folder " +
                                fromUtf8(environment_.storeRoot.string()) + u": Not a directory"});
    EXPECT_EQ(manager.GetCertificateEncoded(), u"ERROR56");
}

}  // namespace
}  // namespace ardenax
