#pragma once

#include <functional>
#include <memory>

#include "control/ObjectSafety.h"
#include "platform/VotingPlatform.h"
#include "support/Environment.h"
#include "support/Failure.h"
#include "support/Text.h"
#include "support/Variant.h"

namespace ardenax {

// The control a voting page drives: nine text-in/text-out methods. Seven
// forward to the voting platform and turn any failure it does not handle into
// a message box and a fixed "ERROR_" + method name result; the page never sees
// an exception from them.
//
// A call may arrive while another is under way (from a message box, or a
// wait that lets the page's script run). Each call holds the platform it
// started on until it returns. On a platform with a call under way, the
// methods that only read (getCurrentToken, createPINHash, getCurrentPINHash,
// getVersion) answer as ever; those that change the voter's pass
// (obtainToken, setChoice, getConfirmationText, setPINHash) return their
// error result at once, without a box. resetState always runs: the control
// goes on with a fresh platform, while the replaced one lives until its call
// returns and then loses the certificate it made.
class VotingX final : public ObjectSafety {
public:
    // The control's own version text, which pages compare against. It stays
    // as it is when the product's version (ProductVersion) moves.
    static constexpr TextView Version = u"2.1.0.2239";

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
    // The receipt of the last vote the SMV accepted from this control's
    // current voter, "" before one (see VotingPlatform::getReceipt). Beside
    // the nine methods: hosts offer it as they can without changing them.
    Text getReceipt();
    // Removes the previous voter's certificate, starts a new platform and sets
    // its defaults. Failures are raised to the caller.
    Text resetState();
    // Ends the voter's pass for good, as a host does when its page goes:
    // removes the current certificate, key included, as a reset would, and
    // starts nothing new. Failures are raised to the caller.
    void end();

    std::int32_t GetInterfaceSafetyOptions(const Guid* riid, std::uint32_t* supportedOptions,
                                           std::uint32_t* enabledOptions) const override;
    std::int32_t SetInterfaceSafetyOptions(const Guid* riid, std::uint32_t dwOptionsSetMask,
                                           std::uint32_t dwEnabledOptions) const override;

    static std::unique_ptr<VotingPlatform> makeXMLP7VotingPlat(const Environment& environment);

private:
    struct Slot;
    class CallUnderWay;
    enum class Access { Reads, Changes };

    template <class Result, class Call>
    Result forward(TextView prompt, TextView errorResult, Access access, Call call);

    void report(TextView prompt, const Failure& failure) const;

    Environment environment_;
    PlatformFactory makePlatform_;
    // The current platform and the calls under way on it, shared with them.
    std::shared_ptr<Slot> slot_;
    bool safeForScripting_ = false;
    bool safeForInitializing_ = false;
};

}  // namespace ardenax
