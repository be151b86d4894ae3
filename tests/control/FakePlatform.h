#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/VotingPlatform.h"
#include "support/Failure.h"

namespace ardenax::testing {

// A platform whose operations answer what the test scripts and that logs every
// call into a journal shared by all platforms of one test, so that the order
// of calls across a reset can be checked.
class FakePlatform final : public VotingPlatform {
public:
    struct Script {
        std::vector<std::string> journal;
        // Raised by the next call whose name matches, once.
        std::optional<std::pair<std::string, Failure>> failNext;
        // Run inside the next call whose name matches, once, as a page's
        // script runs while a call waits.
        std::optional<std::pair<std::string, std::function<void()>>> whileIn;
        Text result = u"result";
        Variant confirmation = Variant(Text(u"confirmation"));
        int created = 0;
    };

    explicit FakePlatform(std::shared_ptr<Script> script)
        : script_(std::move(script)), id_(std::to_string(++script_->created)) {}

    Text obtainToken(const Text&) override { return call("obtainToken"); }
    Text getCurrentToken() override { return call("getCurrentToken"); }
    Text setChoice(const Text&, const Text&, const Text&) override { return call("setChoice"); }
    Variant getConfirmationText() override {
        call("getConfirmationText");
        return script_->confirmation;
    }
    Text createPINHash(const Text&) override { return call("createPINHash"); }
    Text setPINHash(const Text&) override { return call("setPINHash"); }
    Text getCurrentPINHash() override { return call("getCurrentPINHash"); }
    Text getReceipt() override { return call("getReceipt"); }
    void removeCertificate() override { call("removeCertificate"); }

    // Property writes are journalled; what the fake reads back is empty.
    const Text& ParamSeparator() const override { return empty_; }
    void ParamSeparator(const Text&) override { call("ParamSeparator"); }
    const Text& AttribSeparator() const override { return empty_; }
    void AttribSeparator(const Text&) override { call("AttribSeparator"); }
    const Text& PromotorResSeparator() const override { return empty_; }
    void PromotorResSeparator(const Text&) override { call("PromotorResSeparator"); }
    const Text& NVoteBullSeparator() const override { return empty_; }
    void NVoteBullSeparator(const Text&) override { call("NVoteBullSeparator"); }
    const Text& NVoteBTupleSeparator() const override { return empty_; }
    void NVoteBTupleSeparator(const Text&) override { call("NVoteBTupleSeparator"); }
    const Text& SmvURl() const override { return empty_; }
    void SmvURl(const Text&) override { call("SmvURl"); }
    const Text& PromotorUrl() const override { return empty_; }
    void PromotorUrl(const Text&) override { call("PromotorUrl"); }
    const Text& PublicKeyParamName() const override { return empty_; }
    void PublicKeyParamName(const Text&) override { call("PublicKeyParamName"); }
    const Text& PublicKeyAlgoParamName() const override { return empty_; }
    void PublicKeyAlgoParamName(const Text&) override { call("PublicKeyAlgoParamName"); }
    const Text& PublicKeyAlgoValue() const override { return empty_; }
    void PublicKeyAlgoValue(const Text&) override { call("PublicKeyAlgoValue"); }
    const Text& EncryptionAlgo() const override { return empty_; }
    void EncryptionAlgo(const Text&) override { call("EncryptionAlgo"); }
    const Text& PinParamName() const override { return empty_; }
    void PinParamName(const Text&) override { call("PinParamName"); }
    const Text& TokenParamName() const override { return empty_; }
    void TokenParamName(const Text&) override { call("TokenParamName"); }
    const Text& VoteParamName() const override { return empty_; }
    void VoteParamName(const Text&) override { call("VoteParamName"); }

private:
    Text call(const std::string& name) {
        script_->journal.push_back(name + "@" + id_);
        if (script_->whileIn && script_->whileIn->first == name) {
            const auto action = std::move(script_->whileIn->second);
            script_->whileIn.reset();
            action();
        }
        if (script_->failNext && script_->failNext->first == name) {
            const Failure failure = script_->failNext->second;
            script_->failNext.reset();
            throw failure;
        }
        return script_->result;
    }

    std::shared_ptr<Script> script_;
    std::string id_;
    Text empty_;
};

}  // namespace ardenax::testing
