#pragma once

#include <functional>
#include <memory>

#include "control/ObjectSafety.h"
#include "platform/VotingPlatform.h"
#include "support/Environment.h"
#include "support/Failure.h"
#include "support/Text.h"
#include "support/Variant.h"
#include "support/Version.h"

namespace ardenax {

// The control a voting page drives: nine text-in/text-out methods. Seven
// forward to the voting platform and turn any failure it does not handle into
// a message box and a fixed "ERROR_" + method name result; the page never sees
// an exception from them.
class VotingX final : public ObjectSafety {
public:
    static constexpr TextView Version = ProductVersion;

    using PlatformFactory = std::function<std::unique_ptr<VotingPlatform>(const Environment&)>;

    // Runs the first reset; a failure of it is thrown, and no control exists.
    explicit VotingX(Environment environment, PlatformFactory makePlatform = makeXMLP7VotingPlat);

    Text obtainToken(const Text& credentials);
    Text getCurrentToken();
    Text setChoice(const Text& cardId, const Text& cardDesc, const Text& Choices);
    Text getConfirmationText();
    Text createPINHash(const Text& pin);
    Variant setPINHash(const Text& pin);
    Text getCurrentPINHash();
    Text getVersion() const;
    // Removes the previous voter's certificate, starts a new platform and sets
    // its defaults. Failures are raised to the caller.
    Text resetState();

    std::int32_t GetInterfaceSafetyOptions(const Guid* riid, std::uint32_t* supportedOptions,
                                           std::uint32_t* enabledOptions) const override;
    std::int32_t SetInterfaceSafetyOptions(const Guid* riid, std::uint32_t dwOptionsSetMask,
                                           std::uint32_t dwEnabledOptions) const override;

    static std::unique_ptr<VotingPlatform> makeXMLP7VotingPlat(const Environment& environment);

private:
    template <class Call>
    auto forward(TextView prompt, TextView errorResult, Call call) -> decltype(call());

    void report(TextView prompt, const Failure& failure) const;

    Environment environment_;
    PlatformFactory makePlatform_;
    std::unique_ptr<VotingPlatform> platform_;
    bool safeForScripting_ = false;
    bool safeForInitializing_ = false;
};

}  // namespace ardenax
