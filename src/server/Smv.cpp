#include "server/Smv.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "crypto/toolkit/Encoding.h"
#include "server/SealedVote.h"
#include "support/Failure.h"

namespace ardenax::server {
namespace {

constexpr std::size_t PinHashLength = 28;
constexpr std::size_t Sha1Length = 20;

bool isPinHash(const std::string& text) {
    const bool base64Alphabet = std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '/' || c == '=';
    });
    if (text.size() != PinHashLength || !base64Alphabet) {
        return false;
    }
    try {
        return toolkit::base64Decode(text).size() == Sha1Length;
    } catch (const Failure&) {
        return false;
    }
}

}  // namespace

std::string Smv::answer(const std::vector<FormField>& fields) {
    if (closed_) {
        return std::string(Closed);
    }
    const FormField* pin = nullptr;
    const FormField* token = nullptr;
    const FormField* vote = nullptr;
    for (const auto& field : fields) {
        const FormField** slot = field.name == "pin"     ? &pin
                                 : field.name == "token" ? &token
                                 : field.name == "vote"  ? &vote
                                                         : nullptr;
        if (slot == nullptr || *slot != nullptr) {
            return "ERROR the form must hold the fields pin, token and vote once each";
        }
        *slot = &field;
    }
    if (pin == nullptr || token == nullptr || vote == nullptr) {
        return "ERROR the form must hold the fields pin, token and vote once each";
    }
    if (pin->value.size() > MaxShortFieldLength || token->value.size() > MaxShortFieldLength ||
        vote->value.size() > MaxVoteLength) {
        return "ERROR a field of the form is too large";
    }
    BallotBoxEntry entry;
    entry.token = token->value;
    entry.pinHash = pin->value;
    entry.vote = vote->value;
    const auto issued = store_.findToken(token->value);
    if (issued) {
        entry.login = issued->login;
    }
    if (!issued) {
        entry.verdict = "ERROR unknown token";
    } else if (!isPinHash(pin->value)) {
        entry.verdict = "ERROR the PIN hash is not 28 characters of Base64";
    } else {
        const auto sealed =
            checkSealedVote(vote->value, issued->certificate, *store_.election().certificate);
        entry.submission = sealed.submission;
        entry.counts = sealed.sound();
        entry.verdict = sealed.sound() ? "OK" : sealed.refusal;
    }
    return store_.storeVote(std::move(entry)).verdict;
}

}  // namespace ardenax::server
