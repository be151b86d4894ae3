#pragma once

#include <functional>
#include <map>
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
    void removeCertificate() override { call("removeCertificate"); }

    const Text& ParamSeparator() const override { return property("ParamSeparator"); }
    void ParamSeparator(const Text& vNewValue) override { set("ParamSeparator", vNewValue); }
    const Text& AttribSeparator() const override { return property("AttribSeparator"); }
    void AttribSeparator(const Text& vNewValue) override { set("AttribSeparator", vNewValue); }
    const Text& PromotorResSeparator() const override { return property("PromotorResSeparator"); }
    void PromotorResSeparator(const Text& vNewValue) override {
        set("PromotorResSeparator", vNewValue);
    }
    const Text& NVoteBullSeparator() const override { return property("NVoteBullSeparator"); }
    void NVoteBullSeparator(const Text& vNewValue) override {
        set("NVoteBullSeparator", vNewValue);
    }
    const Text& NVoteBTupleSeparator() const override { return property("NVoteBTupleSeparator"); }
    void NVoteBTupleSeparator(const Text& vNewValue) override {
        set("NVoteBTupleSeparator", vNewValue);
    }
    const Text& SmvURl() const override { return property("SmvURl"); }
    void SmvURl(const Text& vNewValue) override { set("SmvURl", vNewValue); }
    const Text& PromotorUrl() const override { return property("PromotorUrl"); }
    void PromotorUrl(const Text& vNewValue) override { set("PromotorUrl", vNewValue); }
    const Text& PublicKeyParamName() const override { return property("PublicKeyParamName"); }
    void PublicKeyParamName(const Text& vNewValue) override {
        set("PublicKeyParamName", vNewValue);
    }
    const Text& PublicKeyAlgoParamName() const override {
        return property("PublicKeyAlgoParamName");
    }
    void PublicKeyAlgoParamName(const Text& vNewValue) override {
        set("PublicKeyAlgoParamName", vNewValue);
    }
    const Text& PublicKeyAlgoValue() const override { return property("PublicKeyAlgoValue"); }
    void PublicKeyAlgoValue(const Text& vNewValue) override {
        set("PublicKeyAlgoValue", vNewValue);
    }
    const Text& EncryptionAlgo() const override { return property("EncryptionAlgo"); }
    void EncryptionAlgo(const Text& vNewValue) override { set("EncryptionAlgo", vNewValue); }
    const Text& PinParamName() const override { return property("PinParamName"); }
    void PinParamName(const Text& vNewValue) override { set("PinParamName", vNewValue); }
    const Text& TokenParamName() const override { return property("TokenParamName"); }
    void TokenParamName(const Text& vNewValue) override { set("TokenParamName", vNewValue); }
    const Text& VoteParamName() const override { return property("VoteParamName"); }
    void VoteParamName(const Text& vNewValue) override { set("VoteParamName", vNewValue); }

private:
    Text call(const std::string& name) {
        script_->journal.push_back(name + "@" + id_);
        if (script_->failNext && script_->failNext->first == name) {
            const Failure failure = script_->failNext->second;
            script_->failNext.reset();
            throw failure;
        }
        return script_->result;
    }
    const Text& property(const std::string& name) const {
        const auto found = properties_.find(name);
        return found == properties_.end() ? empty_ : found->second;
    }
    void set(const std::string& name, const Text& value) {
        call(name);
        properties_[name] = value;
    }

    std::shared_ptr<Script> script_;
    std::string id_;
    std::map<std::string, Text> properties_;
    Text empty_;
};

}  // namespace ardenax::testing
