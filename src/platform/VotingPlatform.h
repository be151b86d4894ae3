#pragma once

#include "support/Text.h"
#include "support/Variant.h"

namespace ardenax {

// The voting platform as the control sees it: the seven voting operations,
// the fourteen configuration properties and the removal of the voter's
// certificate. Failures that an operation does not handle itself are raised
// as `Failure`s.
class VotingPlatform {
public:
    VotingPlatform() = default;
    VotingPlatform(const VotingPlatform&) = delete;
    VotingPlatform& operator=(const VotingPlatform&) = delete;
    virtual ~VotingPlatform() = default;

    virtual Text obtainToken(const Text& credentials) = 0;
    virtual Text getCurrentToken() = 0;
    virtual Text setChoice(const Text& cardId, const Text& cardDesc, const Text& Choices) = 0;
    virtual Variant getConfirmationText() = 0;
    virtual Text createPINHash(const Text& pin) = 0;
    virtual Text setPINHash(const Text& pin) = 0;
    virtual Text getCurrentPINHash() = 0;
    // The receipt of the last vote the SMV accepted, "" before one: the
    // SHA-256 digest of the signed vote as posted, in base64url without
    // padding (43 characters). It shows nothing of the choices, which are
    // enveloped for the election.
    virtual Text getReceipt() = 0;

    virtual const Text& ParamSeparator() const = 0;
    virtual void ParamSeparator(const Text& vNewValue) = 0;
    virtual const Text& AttribSeparator() const = 0;
    virtual void AttribSeparator(const Text& vNewValue) = 0;
    virtual const Text& PromotorResSeparator() const = 0;
    virtual void PromotorResSeparator(const Text& vNewValue) = 0;
    virtual const Text& NVoteBullSeparator() const = 0;
    virtual void NVoteBullSeparator(const Text& vNewValue) = 0;
    virtual const Text& NVoteBTupleSeparator() const = 0;
    virtual void NVoteBTupleSeparator(const Text& vNewValue) = 0;
    virtual const Text& SmvURl() const = 0;
    virtual void SmvURl(const Text& vNewValue) = 0;
    virtual const Text& PromotorUrl() const = 0;
    virtual void PromotorUrl(const Text& vNewValue) = 0;
    virtual const Text& PublicKeyParamName() const = 0;
    virtual void PublicKeyParamName(const Text& vNewValue) = 0;
    virtual const Text& PublicKeyAlgoParamName() const = 0;
    virtual void PublicKeyAlgoParamName(const Text& vNewValue) = 0;
    virtual const Text& PublicKeyAlgoValue() const = 0;
    virtual void PublicKeyAlgoValue(const Text& vNewValue) = 0;
    virtual const Text& EncryptionAlgo() const = 0;
    virtual void EncryptionAlgo(const Text& vNewValue) = 0;
    virtual const Text& PinParamName() const = 0;
    virtual void PinParamName(const Text& vNewValue) = 0;
    virtual const Text& TokenParamName() const = 0;
    virtual void TokenParamName(const Text& vNewValue) = 0;
    virtual const Text& VoteParamName() const = 0;
    virtual void VoteParamName(const Text& vNewValue) = 0;

    // Removes the certificate this platform generated from the user's store.
    virtual void removeCertificate() = 0;
};

}  // namespace ardenax
