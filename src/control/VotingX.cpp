#include "control/VotingX.h"

#include <string>
#include <utility>

#include "platform/XMLP7VotingPlat.h"
#include "support/Failure.h"
#include "support/ResultTexts.h"

namespace ardenax {
namespace {

constexpr std::uint32_t kSupportedOptions =
    ObjectSafety::SafeForUntrustedCaller | ObjectSafety::SafeForUntrustedData;

enum class SafetyTopic { Scripting, Initializing, Other };

SafetyTopic topicOf(const Guid& riid) {
    const Text text = riid.toText();
    if (text == u"{00020400-0000-0000-C000-000000000046}") {  // IDispatch
        return SafetyTopic::Scripting;
    }
    if (text == u"{0000010A-0000-0000-C000-000000000046}" ||  // IPersistStorage
        text == u"{00000109-0000-0000-C000-000000000046}" ||  // IPersistStream
        text == u"{37D84F60-42CB-11CE-8135-00AA004BB851}") {  // IPersistPropertyBag
        return SafetyTopic::Initializing;
    }
    return SafetyTopic::Other;
}

}  // namespace

struct VotingX::Slot {
    std::unique_ptr<VotingPlatform> platform;
    int callsUnderWay = 0;
    // A reset replaced this platform while a call was under way on it.
    bool replaced = false;
};

// Counts a call as under way on its slot for as long as it lives. The last
// call to end on a replaced platform removes its certificate, which the
// reset could not: the call may have made it after the reset.
class VotingX::CallUnderWay {
public:
    explicit CallUnderWay(Slot& slot) : slot_(slot) { ++slot_.callsUnderWay; }
    CallUnderWay(const CallUnderWay&) = delete;
    CallUnderWay& operator=(const CallUnderWay&) = delete;
    ~CallUnderWay() {
        if (--slot_.callsUnderWay > 0 || !slot_.replaced) {
            return;
        }
        try {
            slot_.platform->removeCertificate();
        } catch (const std::exception&) {
            // Nobody is left to tell; the store's purge clears what stays.
            return;
        }
    }

private:
    Slot& slot_;
};

VotingX::VotingX(Environment environment, PlatformFactory makePlatform)
    : environment_(std::move(environment)), makePlatform_(std::move(makePlatform)) {
    if (!environment_.messageBox) {
        throw Failure(Failure::InvalidProcedureCall, u"No message box was given to the control",
                      u"VotingX");
    }
    resetState();
}

std::unique_ptr<VotingPlatform> VotingX::makeXMLP7VotingPlat(const Environment& environment) {
    return std::make_unique<XMLP7VotingPlat>(environment);
}

void VotingX::report(TextView prompt, const Failure& failure) const {
    environment_.messageBox->show(Text(prompt) + u"\r\n" + failure.numberText() + u"\r\n" +
                                  failure.description());
}

template <class Result, class Call>
Result VotingX::forward(TextView prompt, TextView errorResult, Access access, Call call) {
    // Held until the call returns, whatever a reset does meanwhile.
    const std::shared_ptr<Slot> slot = slot_;
    if (access == Access::Changes && slot->callsUnderWay > 0) {
        return Result(Text(errorResult));
    }
    const CallUnderWay underWay(*slot);
    try {
        return call(*slot->platform);
    } catch (const std::exception& error) {
        report(prompt, Failure::from(error));
    }
    return Result(Text(errorResult));
}

Text VotingX::obtainToken(const Text& credentials) {
    return forward<Text>(
        prompts::ObtainToken, results::ObtainTokenFailed, Access::Changes,
        [&](VotingPlatform& platform) { return platform.obtainToken(credentials); });
}

Text VotingX::getCurrentToken() {
    return forward<Text>(prompts::GetCurrentToken, results::GetCurrentTokenFailed, Access::Reads,
                         [](VotingPlatform& platform) { return platform.getCurrentToken(); });
}

Text VotingX::setChoice(const Text& cardId, const Text& cardDesc, const Text& Choices) {
    return forward<Text>(
        prompts::SetChoice, results::SetChoiceFailed, Access::Changes,
        [&](VotingPlatform& platform) { return platform.setChoice(cardId, cardDesc, Choices); });
}

Text VotingX::getConfirmationText() {
    return forward<Text>(
        prompts::GetConfirmationText, results::GetConfirmationTextFailed, Access::Changes,
        [](VotingPlatform& platform) { return platform.getConfirmationText().toText(); });
}

Text VotingX::createPINHash(const Text& pin) {
    return forward<Text>(prompts::CreatePinHash, results::CreatePinHashFailed, Access::Reads,
                         [&](VotingPlatform& platform) { return platform.createPINHash(pin); });
}

Variant VotingX::setPINHash(const Text& pin) {
    return forward<Variant>(
        prompts::SetPinHash, results::SetPinHashFailed, Access::Changes,
        [&](VotingPlatform& platform) { return Variant(platform.setPINHash(pin)); });
}

Text VotingX::getCurrentPINHash() {
    return forward<Text>(prompts::GetCurrentPinHash, results::GetCurrentPinHashFailed,
                         Access::Reads,
                         [](VotingPlatform& platform) { return platform.getCurrentPINHash(); });
}

Text VotingX::getReceipt() {
    return slot_->platform->getReceipt();
}

Text VotingX::getVersion() const {
    return Text(Version);
}

Text VotingX::resetState() {
    if (slot_) {
        slot_->platform->removeCertificate();
    }
    auto next = std::make_shared<Slot>();
    next->platform = makePlatform_(environment_);
    if (slot_) {
        slot_->replaced = slot_->callsUnderWay > 0;
    }
    // The replaced platform goes now, or with the last call under way on it.
    slot_ = next;
    VotingPlatform& fresh = *next->platform;
    fresh.ParamSeparator(u"###");
    fresh.AttribSeparator(u"=");
    fresh.PromotorResSeparator(u";");
    fresh.NVoteBullSeparator(u"##");
    fresh.NVoteBTupleSeparator(u",");
    fresh.PublicKeyParamName(u"certificate");
    fresh.PublicKeyAlgoParamName(u"alg");
    fresh.PinParamName(u"pin");
    fresh.TokenParamName(u"token");
    fresh.VoteParamName(u"vote");
    fresh.EncryptionAlgo(u"alg");
    fresh.PromotorUrl(environment_.promotorUrl);
    fresh.SmvURl(environment_.smvUrl);
    safeForScripting_ = true;
    safeForInitializing_ = true;
    return Text(results::Ok);
}

void VotingX::end() {
    slot_->platform->removeCertificate();
}

std::int32_t VotingX::GetInterfaceSafetyOptions(const Guid* riid, std::uint32_t* supportedOptions,
                                                std::uint32_t* enabledOptions) const {
    *supportedOptions = kSupportedOptions;
    if (riid == nullptr) {
        return S_Ok;
    }
    switch (topicOf(*riid)) {
        case SafetyTopic::Scripting:
            *enabledOptions = safeForScripting_ ? SafeForUntrustedCaller : 0;
            break;
        case SafetyTopic::Initializing:
            *enabledOptions = safeForInitializing_ ? SafeForUntrustedData : 0;
            break;
        case SafetyTopic::Other:
            break;
    }
    return S_Ok;
}

std::int32_t VotingX::SetInterfaceSafetyOptions(const Guid* riid, std::uint32_t dwOptionsSetMask,
                                                std::uint32_t dwEnabledOptions) const {
    if (riid == nullptr) {
        return S_Ok;
    }
    const std::uint32_t requested = dwOptionsSetMask & dwEnabledOptions;
    switch (topicOf(*riid)) {
        case SafetyTopic::Scripting:
            return requested == SafeForUntrustedCaller && safeForScripting_ ? S_Ok
                                                                            : Failure::E_Fail;
        case SafetyTopic::Initializing:
            return requested == SafeForUntrustedData && safeForInitializing_ ? S_Ok
                                                                             : Failure::E_Fail;
        case SafetyTopic::Other:
            return S_Ok;
    }
    return S_Ok;
}

}  // namespace ardenax
