#pragma once

#include <string_view>

#include "support/Text.h"

// The catalog of what the voting operations say: their result texts, the
// kind of each, and the prompts of their message boxes. Every failure text
// begins with "ERROR", which is what callers test for (isErrorText).
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

// What a method answers when its platform raised a failure (after a message
// box), or when it was called while a call that changes the voter's pass was
// under way.
inline constexpr TextView ObtainTokenFailed = u"ERROR_obtainToken";
inline constexpr TextView GetCurrentTokenFailed = u"ERROR_getCurrentToken";
inline constexpr TextView SetChoiceFailed = u"ERROR_setChoice";
inline constexpr TextView GetConfirmationTextFailed = u"ERROR_getConfirmationText";
inline constexpr TextView CreatePinHashFailed = u"ERROR_createPINHash";
inline constexpr TextView SetPinHashFailed = u"ERROR_setPINHash";
inline constexpr TextView GetCurrentPinHashFailed = u"ERROR_getCurrentPINHash";

// A post that did not reach its server or had no usable answer from it: the
// transfer's error number (or the HTTP status) and its description.
Text transportFailure(long number, TextView description);

// What a result means for a page, so that it need not read the texts:
// Refused: a server said no (its own "ERROR..." text, passed on unchanged);
// Unreachable: a server could not be reached or answered what is no answer;
// Invalid: the page's input was not acceptable (a card, a choice, a PIN);
// Failed: the control itself could not do it (a message box said why).
enum class ResultKind { Success, Refused, Unreachable, Invalid, Failed };

ResultKind kindOf(TextView result);
// The kind's name on the hosts' wire: "ok", "refused", "unreachable", "invalid", "failed".
std::string_view nameOf(ResultKind kind);

}  // namespace ardenax::results

// The message boxes' texts.
namespace ardenax::prompts {

// The control's, for a failure its platform did not handle; the failure's
// number and description follow on lines of their own.
inline constexpr TextView ObtainToken = u"Erro ao obter token [plataforma]: ";
inline constexpr TextView GetCurrentToken = u"Erro ao obter o token atual [plataforma]: ";
inline constexpr TextView SetChoice = u"Erro ao definir a escolha[plataforma]: ";
inline constexpr TextView GetConfirmationText = u"Erro ao obter texto da confirmação[plataforma]: ";
inline constexpr TextView CreatePinHash = u"Erro ao criar o hash do pin [plataforma]: ";
inline constexpr TextView SetPinHash = u"Erro ao definir o hash do pin [plataforma]: ";
inline constexpr TextView GetCurrentPinHash = u"Erro ao obter o hash do pin [plataforma]: ";

// The platform's, for a token or a vote that could not be had; RetryLater
// and the failure's number and description follow.
inline constexpr TextView TokenNotObtained =
    u"Ocorreu um erro ao obter a autorização para a votação!";
inline constexpr TextView VoteNotSent = u"Ocorreu um erro ao obter texto de confirmação!";
inline constexpr TextView RetryLater = u"\r\nTente novamente dentro de alguns momentos.\r\n\r\n";

}  // namespace ardenax::prompts
