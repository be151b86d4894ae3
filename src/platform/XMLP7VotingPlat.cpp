#include "platform/XMLP7VotingPlat.h"

#include <utility>

#include "crypto/X509Crypter.h"
#include "crypto/X509Manager.h"
#include "crypto/X509Signer.h"
#include "crypto/toolkit/Digest.h"
#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Random.h"
#include "platform/BallotCount.h"
#include "support/Failure.h"
#include "support/Int16.h"
#include "support/ResultTexts.h"
#include "support/Split.h"
#include "vote/XmlVoteManager.h"

namespace ardenax {
namespace {

Text failureMessage(TextView heading, const Failure& failure) {
    return Text(heading) + Text(prompts::RetryLater) + failure.numberText() + u"\r\n" +
           failure.description();
}

Text removeCrLf(Text text) {
    for (auto at = text.find(u"\r\n"); at != Text::npos; at = text.find(u"\r\n", at)) {
        text.erase(at, 2);
    }
    return text;
}

}  // namespace

XMLP7VotingPlat::XMLP7VotingPlat(Environment environment)
    : environment_(std::move(environment)),
      objClient_(environment_.http, environment_.wait),
      spareKey_(toolkit::KeyPair::generate, environment_.wait) {}

Text XMLP7VotingPlat::obtainToken(const Text& credentials) {
    Text result = requestToken(credentials);
    // The next request's key is made while the voter goes on.
    spareKey_.refill();
    return result;
}

Text XMLP7VotingPlat::requestToken(const Text& credentials) {
    std::shared_ptr<const toolkit::Certificate> fresh;
    try {
        X509Manager manager(environment_, spareKey_);
        fresh = manager.GenerateCertificate();
        if (!fresh) {
            return Text(results::CertificateNotMade);
        }
        ParamList params = credentialParams(credentials);
        params[0] = {PublicKeyParamName_, manager.GetCertificateEncoded()};
        params[1] = {PublicKeyAlgoParamName_, manager.GetPublicKeyAlgorithm()};
        const Text answer = objClient_.Post(params, PromotorUrl_);
        if (!isErrorText(answer) && acceptPromotorAnswer(answer)) {
            // The token is bound to this certificate: the vote must be signed with it.
            objCert_ = std::move(fresh);
            return strToken_;
        }
        discardCertificate(*fresh);
        return isErrorText(answer) ? answer : Text(results::MalformedPromotorAnswer);
    } catch (const std::exception& error) {
        if (fresh) {
            discardCertificate(*fresh);
        }
        environment_.messageBox->show(
            failureMessage(prompts::TokenNotObtained, Failure::from(error)));
        return u"";
    }
}

// A certificate no token was issued for has no use; its key leaves the store
// at once. Failing to remove it is not the voter's concern: the store's purge
// clears what is left behind.
void XMLP7VotingPlat::discardCertificate(const toolkit::Certificate& certificate) const {
    try {
        X509Manager(environment_).removeCertificate(certificate);
    } catch (const std::exception&) {
        return;
    }
}

// Two places for the certificate and its algorithm, then one field per
// credential pair ("name=value###name=value" with the default separators).
ParamList XMLP7VotingPlat::credentialParams(const Text& credentials) const {
    ParamList params(2);
    const auto pairs = split(credentials, ParamSeparator_, LetterCase::Ignore);
    forEachInt16(0, static_cast<std::int64_t>(pairs.size()) - 1, [&](std::int16_t i) {
        const auto parts =
            split(pairs[static_cast<std::size_t>(i)], AttribSeparator_, LetterCase::Ignore);
        if (parts.size() < 2) {
            throw Failure::standard(Failure::SubscriptOutOfRange);
        }
        params.push_back({parts[0], parts[1]});
        return true;
    });
    return params;
}

// The answer is taken whole or not at all: the ballot descriptors are parsed
// before anything is stored, so a malformed answer leaves the previous token,
// potency, election certificate and cards in place. False when the answer
// does not have exactly six fields. The first two fields (the election and
// the voter's name, for the reference Promotor) are not kept: nothing reads them.
bool XMLP7VotingPlat::acceptPromotorAnswer(const Text& answer) {
    const auto fields = split(answer, PromotorResSeparator_, LetterCase::Exact);
    if (fields.size() != 6) {
        return false;
    }
    BallotList bulls = getNVOTEBULL(fields[5]);
    strToken_ = fields[2];
    strPotency_ = fields[3];
    strEncryptionCert_ = fields[4];
    arrBulls_ = std::move(bulls);
    return true;
}

Text XMLP7VotingPlat::getCurrentToken() {
    return strToken_;
}

Text XMLP7VotingPlat::setChoice(const Text& cardId, const Text& cardDesc, const Text& Choices) {
    try {
        if (cardId.empty()) {
            return Text(results::EmptyCardId);
        }
        if (cardDesc.empty()) {
            return Text(results::EmptyCardDesc);
        }
        return Text(recordChoices(cardId, cardDesc, splitChoices(Choices))
                        ? results::Ok
                        : results::ChoicesRefused);
    } catch (const std::exception&) {
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
    try {
        strVote_ = buildVote();
        const ParamList params = {
            {PinParamName_, strPinHash_}, {TokenParamName_, strToken_}, {VoteParamName_, strVote_}};
        const Text answer = objClient_.Post(params, SmvURl_);
        if (isErrorText(answer)) {
            return answer;
        }
        strReceipt_ = receiptOf(strVote_);
        return confirmationText();
    } catch (const std::exception& error) {
        environment_.messageBox->show(failureMessage(prompts::VoteNotSent, Failure::from(error)));
        return {};
    }
}

// The signed, encrypted vote. Any failure is raised, so that a vote that
// could not be built is never posted; a type mismatch means the choices are
// gone (the platform was replaced) and says so.
Text XMLP7VotingPlat::buildVote() const {
    try {
        X509Crypter crypter(environment_.messageBox);
        crypter.setCertificate(strEncryptionCert_);
        Vote vote;
        vote.Random(makeRandom(20));
        std::vector<std::shared_ptr<VotingCards>> cards;
        const auto keys = mapCardChoices_.getKeys();
        forEachInt16(0, static_cast<std::int64_t>(keys.size()) - 1, [&](std::int16_t i) {
            const Text& key = keys[static_cast<std::size_t>(i)];
            auto card = std::make_shared<VotingCards>();
            card->Id(key);
            const auto choices = mapCardChoices_.getVal(key).toTextArray();
            card->Choices(choices);
            card->setChoices(choices);
            cards.push_back(std::move(card));
            return true;
        });
        vote.VotingCards(cards);
        vote.Potency(strPotency_);
        const Text encrypted = crypter.Encrypt(XmlVoteManager::Store(vote));
        if (encrypted.empty()) {
            // The crypter has already shown what went wrong.
            throw Failure(Failure::E_Fail, u"The vote could not be encrypted", u"XMLP7VotingPlat");
        }
        return X509Signer().Sign(encrypted, objCert_);
    } catch (const Failure& failure) {
        if (failure.number() == Failure::TypeMismatch) {
            throw Failure(Failure::TypeMismatch, u"Type mismatch due to state reset",
                          failure.source());
        }
        throw;
    }
}

Text XMLP7VotingPlat::confirmationText() const {
    Text text = u"Tem a certeza que pretende votar da seguinte forma ?\r\n";
    const auto keys = mapCardDesc_.getKeys();
    forEachInt16(0, static_cast<std::int64_t>(keys.size()) - 1, [&](std::int16_t i) {
        const Text& key = keys[static_cast<std::size_t>(i)];
        const auto choices = mapCardChoices_.getVal(key).toTextArray();
        text += u"\r\n" + mapCardDesc_.getVal(key).toText() + u"\r\n";
        for (const Text& choice : choices) {
            text += u"\t" + (choice.empty() ? Text(u"(branco)") : choice) + u"\r\n";
        }
        return true;
    });
    return text;
}

// What the voter keeps of the vote: the digest of the signed vote's bytes,
// which the SMV's bulletin board lists as it stores the vote.
Text XMLP7VotingPlat::receiptOf(const Text& signedVote) {
    return fromUtf8(
        toolkit::base64UrlEncode(toolkit::sha256(toolkit::base64Decode(toUtf8(signedVote)))));
}

Text XMLP7VotingPlat::makeRandom(std::size_t byteCount) {
    return fromUtf8(toolkit::base64Encode(toolkit::randomBytes(byteCount)));
}

Text XMLP7VotingPlat::createPINHash(const Text& pin) {
    try {
        if (trimBlanks(pin).empty()) {
            return Text(results::BlankPin);
        }
        return hashPin(pin);
    } catch (const std::exception&) {
        return Text(results::CreatePinHashFailed);
    }
}

Text XMLP7VotingPlat::setPINHash(const Text& pin) {
    try {
        strPinHash_ = hashPin(pin);
        return strPinHash_;
    } catch (const std::exception&) {
        return Text(results::SetPinHashFailed);
    }
}

Text XMLP7VotingPlat::getCurrentPINHash() {
    return strPinHash_.empty() ? Text(results::NoPinHash) : strPinHash_;
}

void XMLP7VotingPlat::removeCertificate() {
    if (objCert_) {
        X509Manager(environment_).removeCertificate(*objCert_);
    }
}

// Base64 of the SHA-1 digest of the PIN's single-byte form. The digest goes
// through hexadecimal and back, as the toolkit hands digests out in hex.
Text XMLP7VotingPlat::hashPin(const Text& pin) const {
    const auto hex = toolkit::toHex(toolkit::sha1(toAnsi(pin)));
    const auto base64 = toolkit::base64Encode(toolkit::fromHex(hex));
    return removeCrLf(trimBlanks(fromUtf8(base64)));
}

}  // namespace ardenax
