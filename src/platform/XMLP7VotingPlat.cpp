#include "platform/XMLP7VotingPlat.h"

#include <utility>

#include "crypto/toolkit/Digest.h"
#include "crypto/toolkit/Encoding.h"
#include "platform/BallotCount.h"
#include "support/Failure.h"
#include "support/Int16.h"
#include "support/Split.h"

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

XMLP7VotingPlat::XMLP7VotingPlat(Environment environment)
    : environment_(std::move(environment)), objClient_(environment_.http) {}

Text XMLP7VotingPlat::obtainToken(const Text& /*credentials*/) {
    throw notSupported();
}

Text XMLP7VotingPlat::getCurrentToken() {
    return strToken_;
}

Text XMLP7VotingPlat::setChoice(const Text& cardId, const Text& cardDesc, const Text& Choices) {
    try {
        if (cardId.empty()) {
            return u"ERROR51";
        }
        if (cardDesc.empty()) {
            return u"ERROR52";
        }
        return recordChoices(cardId, cardDesc, splitChoices(Choices)) ? u"OK"
                                                                      : u"ERROR setting choices";
    } catch (const Failure&) {
        return u"";
    }
}

std::vector<Text> XMLP7VotingPlat::splitChoices(const Text& Choices) const {
    return split(Choices, ParamSeparator_, LetterCase::Ignore);
}

// Records the card only when a descriptor of its name has room for every
// choice: a refused card keeps its earlier description and choices, so the
// confirmation never lists a description without choices.
bool XMLP7VotingPlat::recordChoices(const Text& cardId, const Text& cardDesc,
                                    std::vector<Text> choices) {
    const std::int16_t count = toInt16(static_cast<std::int64_t>(choices.size()));
    if (!arrBulls_) {
        throw Failure::standard(Failure::SubscriptOutOfRange);
    }
    const BallotList& bulls = *arrBulls_;
    bool recorded = false;
    forEachInt16(0, static_cast<std::int64_t>(bulls.size()) - 1, [&](std::int16_t i) {
        const NVOTESBULL& bull = bulls[static_cast<std::size_t>(i)];
        if (bull.strBullName != cardId || count > bull.intBullOptions) {
            return true;
        }
        choices.resize(static_cast<std::size_t>(bull.intBullOptions));
        mapCardDesc_.putPair(cardId, cardDesc);
        mapCardChoices_.putPair(cardId, std::move(choices));
        recorded = true;
        return false;
    });
    return recorded;
}

BallotList XMLP7VotingPlat::getNVOTEBULL(const Text& strVoteBull) const {
    try {
        if (strVoteBull.empty()) {
            throw Failure(Failure::NoBullOptions, u"No bull options number received!");
        }
        const auto pieces = split(strVoteBull, NVoteBullSeparator(), LetterCase::Ignore);
        BallotList result(pieces.size());
        forEachInt16(0, static_cast<std::int64_t>(pieces.size()) - 1, [&](std::int16_t i) {
            const auto index = static_cast<std::size_t>(i);
            const auto parts = split(pieces[index], NVoteBTupleSeparator(), LetterCase::Ignore);
            if (parts.size() < 2) {
                throw Failure::standard(Failure::SubscriptOutOfRange);
            }
            result[index] = {u"BOT_" + parts[0], parseBallotCount(parts[1])};
            return true;
        });
        return result;
    } catch (const Failure& failure) {
        throw Failure(failure.number(), failure.description() + u"\r\nBulletin Opts Number",
                      failure.source());
    }
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
