#pragma once

#include <memory>
#include <optional>

#include "crypto/SpareKey.h"
#include "crypto/toolkit/Certificate.h"
#include "platform/NVOTESBULL.h"
#include "platform/VotingPlatform.h"
#include "support/Environment.h"
#include "support/StringVariantMap.h"
#include "transport/HttpClient.h"

namespace ardenax {

// The state of one voter's pass through the voting page, and every protocol
// step with the Promotor and the SMV. The control owns one and replaces it on
// every reset.
class XMLP7VotingPlat final : public VotingPlatform {
public:
    // Starts making the key pair of the first token request at once.
    explicit XMLP7VotingPlat(Environment environment);

    Text obtainToken(const Text& credentials) override;
    Text getCurrentToken() override;
    Text setChoice(const Text& cardId, const Text& cardDesc, const Text& Choices) override;
    Variant getConfirmationText() override;
    Text createPINHash(const Text& pin) override;
    Text setPINHash(const Text& pin) override;
    Text getCurrentPINHash() override;
    Text getReceipt() override { return strReceipt_; }

    const Text& ParamSeparator() const override { return ParamSeparator_; }
    void ParamSeparator(const Text& vNewValue) override { ParamSeparator_ = vNewValue; }
    const Text& AttribSeparator() const override { return AttribSeparator_; }
    void AttribSeparator(const Text& vNewValue) override { AttribSeparator_ = vNewValue; }
    const Text& PromotorResSeparator() const override { return PromotorResSeparator_; }
    void PromotorResSeparator(const Text& vNewValue) override { PromotorResSeparator_ = vNewValue; }
    const Text& NVoteBullSeparator() const override { return NVoteBullSeparator_; }
    void NVoteBullSeparator(const Text& vNewValue) override { NVoteBullSeparator_ = vNewValue; }
    const Text& NVoteBTupleSeparator() const override { return NVoteBTupleSeparator_; }
    void NVoteBTupleSeparator(const Text& vNewValue) override { NVoteBTupleSeparator_ = vNewValue; }
    const Text& SmvURl() const override { return SmvURl_; }
    void SmvURl(const Text& vNewValue) override { SmvURl_ = vNewValue; }
    const Text& PromotorUrl() const override { return PromotorUrl_; }
    void PromotorUrl(const Text& vNewValue) override { PromotorUrl_ = vNewValue; }
    const Text& PublicKeyParamName() const override { return PublicKeyParamName_; }
    void PublicKeyParamName(const Text& vNewValue) override { PublicKeyParamName_ = vNewValue; }
    const Text& PublicKeyAlgoParamName() const override { return PublicKeyAlgoParamName_; }
    void PublicKeyAlgoParamName(const Text& vNewValue) override {
        PublicKeyAlgoParamName_ = vNewValue;
    }
    const Text& PublicKeyAlgoValue() const override { return PublicKeyAlgoValue_; }
    void PublicKeyAlgoValue(const Text& vNewValue) override { PublicKeyAlgoValue_ = vNewValue; }
    const Text& EncryptionAlgo() const override { return EncryptionAlgo_; }
    void EncryptionAlgo(const Text& vNewValue) override { EncryptionAlgo_ = vNewValue; }
    const Text& PinParamName() const override { return PinParamName_; }
    void PinParamName(const Text& vNewValue) override { PinParamName_ = vNewValue; }
    const Text& TokenParamName() const override { return TokenParamName_; }
    void TokenParamName(const Text& vNewValue) override { TokenParamName_ = vNewValue; }
    const Text& VoteParamName() const override { return VoteParamName_; }
    void VoteParamName(const Text& vNewValue) override { VoteParamName_ = vNewValue; }

    void removeCertificate() override;

    // Parses the ballot descriptors of the Promotor's answer ("A,3##B,1").
    BallotList getNVOTEBULL(const Text& strVoteBull) const;
    // Takes the Promotor's answer whole or not at all: false, with nothing
    // stored, when it does not have six fields; a failure of its ballot
    // descriptors is raised, again with nothing stored.
    bool acceptPromotorAnswer(const Text& answer);

private:
    Text requestToken(const Text& credentials);
    Text hashPin(const Text& pin) const;
    std::vector<Text> splitChoices(const Text& Choices) const;
    bool recordChoices(const Text& cardId, const Text& cardDesc, std::vector<Text> choices);
    ParamList credentialParams(const Text& credentials) const;
    void discardCertificate(const toolkit::Certificate& certificate) const;
    Text buildVote() const;
    Text confirmationText() const;
    static Text makeRandom(std::size_t byteCount);
    static Text receiptOf(const Text& signedVote);

    Environment environment_;
    HttpClient objClient_;
    Text ParamSeparator_;
    Text AttribSeparator_;
    Text PromotorResSeparator_;
    Text NVoteBullSeparator_;
    Text NVoteBTupleSeparator_;
    Text SmvURl_;
    Text PromotorUrl_;
    Text PublicKeyParamName_;
    Text PublicKeyAlgoParamName_;
    Text PublicKeyAlgoValue_;
    Text EncryptionAlgo_;
    Text PinParamName_;
    Text TokenParamName_;
    Text VoteParamName_;
    Text strToken_;
    Text strPotency_;
    StringVariantMap mapCardDesc_;
    StringVariantMap mapCardChoices_;
    Text strPinHash_;
    Text strVote_;
    Text strReceipt_;
    Text strEncryptionCert_;
    std::optional<BallotList> arrBulls_;
    std::shared_ptr<const toolkit::Certificate> objCert_;
    // Last, so that a generation under way stops before the rest goes.
    SpareKey spareKey_;
};

}  // namespace ardenax
