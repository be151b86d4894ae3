#include "support/ResultTexts.h"

#include <algorithm>
#include <array>
#include <string>

namespace ardenax::results {
namespace {

constexpr TextView kTransportPrefix = u"ERROR_";

// "ERROR_" + a whole number + "_": only the transport makes such a text.
bool isTransportFailure(TextView result) {
    if (result.substr(0, kTransportPrefix.size()) != kTransportPrefix) {
        return false;
    }
    TextView rest = result.substr(kTransportPrefix.size());
    if (!rest.empty() && rest.front() == u'-') {
        rest.remove_prefix(1);
    }
    const auto digits = static_cast<std::size_t>(
        std::find_if(rest.begin(), rest.end(), [](char16_t c) { return c < u'0' || c > u'9'; }) -
        rest.begin());
    return digits > 0 && digits < rest.size() && rest[digits] == u'_';
}

template <std::size_t N>
bool isOneOf(TextView result, const std::array<TextView, N>& texts) {
    return std::find(texts.begin(), texts.end(), result) != texts.end();
}

constexpr std::array<TextView, 9> kFailed = {
    NoCertificate,         CertificateNotMade, ObtainTokenFailed,
    GetCurrentTokenFailed, SetChoiceFailed,    GetConfirmationTextFailed,
    CreatePinHashFailed,   SetPinHashFailed,   GetCurrentPinHashFailed};
constexpr std::array<TextView, 6> kInvalid = {EmptyCardId, EmptyCardDesc, BlankPin,
                                              NoPinHash,   BlankCardId,   ChoicesRefused};

}  // namespace

Text transportFailure(long number, TextView description) {
    return Text(kTransportPrefix) + fromUtf8(std::to_string(number)) + u"_" + Text(description);
}

ResultKind kindOf(TextView result) {
    // An empty result follows a message box that said what failed.
    if (result.empty() || isOneOf(result, kFailed)) {
        return ResultKind::Failed;
    }
    if (isTransportFailure(result) || result == MalformedPromotorAnswer) {
        return ResultKind::Unreachable;
    }
    if (isOneOf(result, kInvalid)) {
        return ResultKind::Invalid;
    }
    return isErrorText(result) ? ResultKind::Refused : ResultKind::Success;
}

std::string_view nameOf(ResultKind kind) {
    switch (kind) {
        case ResultKind::Success:
            return "ok";
        case ResultKind::Refused:
            return "refused";
        case ResultKind::Unreachable:
            return "unreachable";
        case ResultKind::Invalid:
            return "invalid";
        case ResultKind::Failed:
            break;
    }
    return "failed";
}

}  // namespace ardenax::results
