#include <array>

#include <gtest/gtest.h>
#include <openssl/asn1err.h>
#include <openssl/err.h>
#include <openssl/x509err.h>

#include "common/Failures.h"
#include "crypto/toolkit/Digest.h"
#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/OpenSslFailure.h"

namespace ardenax::toolkit {
namespace {

using ardenax::testing::failureNumber;

TEST(Encoding, HexAndBase64RoundTripAndRefuseWhatTheyAreNot) {
    EXPECT_EQ(toHex(sha1("abc")), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    const std::string binary("\x00\xFF\x7F\xA0", 4);
    EXPECT_EQ(fromHex("00ff7Fa0"), binary);
    EXPECT_EQ(toHex(binary), "00FF7FA0");
    EXPECT_EQ(base64Encode("fo"), "Zm8=");
    EXPECT_EQ(base64Encode(std::string(100, 'x')).find('\n'), std::string::npos);
    EXPECT_EQ(base64Decode("Zm9v\r\nYmE=\n"), "fooba");
    for (const char* bad : {"ABC", "0G"}) {
        EXPECT_EQ(failureNumber([&] { fromHex(bad); }), Failure::InvalidProcedureCall) << bad;
    }
    for (const char* bad : {"Zm9", "Zm9v!A==", "Z===", "=Zm9", "Zg=a"}) {
        EXPECT_EQ(failureNumber([&] { base64Decode(bad); }), Failure::InvalidProcedureCall) << bad;
    }
}

// The first entry of OpenSSL's queue is usually the cause; later ones are
// the layers that passed it on. All are kept, oldest first, and none is left.
TEST(OpenSslFailure, KeepsTheWholeErrorQueueOldestFirst) {
    ERR_raise(ERR_LIB_ASN1, ASN1_R_TOO_LONG);
    ERR_raise(ERR_LIB_X509, X509_R_CERT_ALREADY_IN_HASH_TABLE);
    const auto text = [](unsigned long code) {
        std::array<char, 256> buffer{};
        ERR_error_string_n(code, buffer.data(), buffer.size());
        return fromUtf8(buffer.data());
    };
    const Text expected =
        u"Decoding: " + text(ERR_peek_error()) + u"; " + text(ERR_peek_last_error());
    const Failure failure = openSslFailure(u"Decoding");
    EXPECT_EQ(failure.description(), expected);
    EXPECT_EQ(failure.number(), Failure::E_Fail);
    EXPECT_EQ(ERR_peek_error(), 0U);
}

}  // namespace
}  // namespace ardenax::toolkit
