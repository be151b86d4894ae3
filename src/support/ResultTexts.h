#pragma once

#include "support/Text.h"

// The texts the voting operations answer with. Every failure text begins with
// "ERROR", which is what callers test for (isErrorText).
namespace ardenax::results {

inline constexpr TextView Ok = u"OK";
// setChoice: an empty card id, an empty card description.
inline constexpr TextView EmptyCardId = u"ERROR51";
inline constexpr TextView EmptyCardDesc = u"ERROR52";
// createPINHash: an empty PIN or one of blanks only.
inline constexpr TextView BlankPin = u"ERROR53";
// getCurrentPINHash: no PIN hash stored yet.
inline constexpr TextView NoPinHash = u"ERROR54";
// The vote document: a card whose identifier is blank.
inline constexpr TextView BlankCardId = u"ERROR55";
// X509Manager: there is no certificate to export.
inline constexpr TextView NoCertificate = u"ERROR56";
// obtainToken: no certificate could be made.
inline constexpr TextView CertificateNotMade = u"ERROR57";
// obtainToken: the Promotor's answer does not have exactly six fields.
inline constexpr TextView MalformedPromotorAnswer = u"ERROR=01_01";
// setChoice: no card of that id, or more choices than the card has slots.
inline constexpr TextView ChoicesRefused = u"ERROR setting choices";
// The PIN hash could not be made.
inline constexpr TextView CreatePinHashFailed = u"ERROR_createPINHash";
inline constexpr TextView SetPinHashFailed = u"ERROR_setPINHash";

}  // namespace ardenax::results
