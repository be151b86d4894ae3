#include "platform/XMLP7VotingPlat.h"

#include <utility>

#include "crypto/toolkit/Digest.h"
#include "crypto/toolkit/Encoding.h"
#include "support/Failure.h"

namespace ardenax {
namespace {

// What the run-time raises for a member an object does not offer.
Failure notSupported() {
    return {438, u"Object doesn't support this property or method", u"XMLP7VotingPlat"};
}

Text removeCrLf(Text text) {
    for (auto at = text.find(u"\r\n"); at != Text::npos; at = text.find(u"\r\n", at)) {
        text.erase(at, 2);
    }
    return text;
}

}  // namespace

XMLP7VotingPlat::XMLP7VotingPlat(Environment environment) : environment_(std::move(environment)) {}

Text XMLP7VotingPlat::obtainToken(const Text& /*credentials*/) {
    throw notSupported();
}

Text XMLP7VotingPlat::getCurrentToken() {
    return strToken_;
}

Text XMLP7VotingPlat::setChoice(const Text& /*cardId*/, const Text& /*cardDesc*/,
                                const Text& /*Choices*/) {
    throw notSupported();
}

Variant XMLP7VotingPlat::getConfirmationText() {
    throw notSupported();
}

Text XMLP7VotingPlat::createPINHash(const Text& pin) {
    try {
        if (trimBlanks(pin).empty()) {
            return u"ERROR53";
        }
        return hashPin(pin);
    } catch (const Failure&) {
        return u"ERROR_createPINHash";
    }
}

Text XMLP7VotingPlat::setPINHash(const Text& pin) {
    try {
        strPinHash_ = hashPin(pin);
        return strPinHash_;
    } catch (const Failure&) {
        return u"ERROR_setPINHash";
    }
}

Text XMLP7VotingPlat::getCurrentPINHash() {
    return strPinHash_.empty() ? Text(u"ERROR54") : strPinHash_;
}

void XMLP7VotingPlat::removeCertificate() {}

// Base64 of the SHA-1 digest of the PIN's single-byte form. The digest goes
// through hexadecimal and back, as the toolkit hands digests out in hex.
Text XMLP7VotingPlat::hashPin(const Text& pin) const {
    const auto hex = toolkit::toHex(toolkit::sha1(toAnsi(pin)));
    const auto base64 = toolkit::base64Encode(toolkit::fromHex(hex));
    return removeCrLf(trimBlanks(fromUtf8(base64)));
}

}  // namespace ardenax
