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

template <class Call>
auto VotingX::forward(TextView prompt, TextView errorResult, Call call) -> decltype(call()) {
    try {
        return call();
    } catch (const std::exception& error) {
        report(prompt, Failure::from(error));
    }
    return Text(errorResult);
}

Text VotingX::obtainToken(const Text& credentials) {
    return forward(u"Erro ao obter token [plataforma]: ", u"ERROR_obtainToken",
                   [&] { return platform_->obtainToken(credentials); });
}

Text VotingX::getCurrentToken() {
    return forward(u"Erro ao obter o token atual [plataforma]: ", u"ERROR_getCurrentToken",
                   [&] { return platform_->getCurrentToken(); });
}

Text VotingX::setChoice(const Text& cardId, const Text& cardDesc, const Text& Choices) {
    return forward(u"Erro ao definir a escolha[plataforma]: ", u"ERROR_setChoice",
                   [&] { return platform_->setChoice(cardId, cardDesc, Choices); });
}

Text VotingX::getConfirmationText() {
    return forward(u"Erro ao obter texto da confirmação[plataforma]: ",
                   u"ERROR_getConfirmationText",
                   [&] { return platform_->getConfirmationText().toText(); });
}

Text VotingX::createPINHash(const Text& pin) {
    return forward(u"Erro ao criar o hash do pin [plataforma]: ", u"ERROR_createPINHash",
                   [&] { return platform_->createPINHash(pin); });
}

Variant VotingX::setPINHash(const Text& pin) {
    return forward(u"Erro ao definir o hash do pin [plataforma]: ", u"ERROR_setPINHash",
                   [&] { return Variant(platform_->setPINHash(pin)); });
}

Text VotingX::getCurrentPINHash() {
    return forward(u"Erro ao obter o hash do pin [plataforma]: ", u"ERROR_getCurrentPINHash",
                   [&] { return platform_->getCurrentPINHash(); });
}

Text VotingX::getVersion() const {
    return Text(Version);
}

Text VotingX::resetState() {
    if (platform_) {
        platform_->removeCertificate();
    }
    platform_ = makePlatform_(environment_);
    VotingPlatform& fresh = *platform_;
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
