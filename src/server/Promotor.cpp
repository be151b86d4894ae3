#include "server/Promotor.h"

#include <algorithm>

#include "crypto/toolkit/PasswordHash.h"
#include "crypto/toolkit/Pki.h"
#include "support/Failure.h"

namespace ardenax::server {
namespace {

constexpr std::string_view LoginField = "utilizador";
constexpr std::string_view PasswordField = "senha";

std::string descriptors(const std::vector<BallotCard>& cards) {
    std::string text;
    for (const auto& card : cards) {
        text += text.empty() ? "" : "##";
        text += card.name;
        text += ',';
        text += std::to_string(card.slots);
    }
    return text;
}

}  // namespace

std::optional<VoterRecord> Promotor::authenticate(const std::vector<FormField>& credentials) {
    const std::string* login = nullptr;
    const std::string* password = nullptr;
    for (const auto& field : credentials) {
        const std::string** slot = field.name == LoginField      ? &login
                                   : field.name == PasswordField ? &password
                                                                 : nullptr;
        if (slot == nullptr || *slot != nullptr) {
            return std::nullopt;
        }
        *slot = &field.value;
    }
    if (login == nullptr || password == nullptr) {
        return std::nullopt;
    }
    auto voter = store_.findVoter(*login);
    if (!voter || !toolkit::PasswordHash::matches(*password, voter->passwordHash)) {
        return std::nullopt;
    }
    return voter;
}

std::string Promotor::answer(const std::vector<FormField>& fields) {
    if (fields.size() < 2 || fields[0].name != "certificate" || fields[1].name != "alg") {
        return "ERROR the form must begin with the fields certificate and alg";
    }
    const bool oversized =
        fields.size() > MaxFields || fields[0].value.size() > MaxCertificateLength ||
        std::any_of(fields.begin() + 1, fields.end(), [](const FormField& field) {
            return field.name.size() > MaxFieldLength || field.value.size() > MaxFieldLength;
        });
    if (oversized) {
        return "ERROR a field of the form is too large";
    }
    const auto voter = authenticate({fields.begin() + 2, fields.end()});
    if (!voter) {
        return "ERROR unknown credentials";
    }
    std::optional<toolkit::Certificate> certificate;
    try {
        certificate = toolkit::Certificate::import(fields[0].value);
    } catch (const Failure&) {
        return "ERROR the certificate does not parse";
    }
    if (!toolkit::hasValidSelfSignature(*certificate)) {
        return "ERROR the certificate is not validly self-signed";
    }
    if (toUtf8(certificate->publicKeyAlgorithm()) != fields[1].value) {
        return "ERROR the key algorithm of the certificate is not alg";
    }
    const auto& election = store_.election();
    const std::string token = store_.issueToken(voter->login, certificate->exportBase64());
    return election.id + ";" + voter->displayName + ";" + token + ";" + election.potency + ";" +
           election.certificate->exportBase64() + ";" + descriptors(election.cards);
}

}  // namespace ardenax::server
