#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/RecordingMessageBox.h"
#include "crypto/X509Crypter.h"
#include "crypto/X509Signer.h"
#include "crypto/toolkit/Certificate.h"
#include "support/Split.h"
#include "transport/PARAM.h"
#include "vote/Vote.h"
#include "vote/XmlVoteManager.h"

namespace ardenax::testing {

// The client's hash of the PIN "1234".
inline const std::string PinHash = "cRDtpNCeBiql5KOQsKVyrA0sAiA=";

// A card of a vote as the client records it: "BOT_" + name and its choices.
using ClientCard = std::pair<std::string, std::vector<std::string>>;

// The vote document exactly as the client writes it.
inline std::string clientXml(const std::vector<ClientCard>& cards, const std::string& potency,
                             const std::string& random = "c2VjcmV0IHJhbmRvbQ==") {
    std::vector<std::shared_ptr<VotingCards>> list;
    for (const auto& [id, choices] : cards) {
        auto card = std::make_shared<VotingCards>();
        card->Id(fromUtf8(id));
        std::vector<Text> texts;
        for (const auto& choice : choices) {
            texts.push_back(fromUtf8(choice));
        }
        card->setChoices(texts);
        list.push_back(card);
    }
    Vote vote;
    vote.VotingCards(list);
    vote.Random(fromUtf8(random));
    vote.Potency(fromUtf8(potency));
    return toUtf8(XmlVoteManager::Store(vote));
}

// Encrypted for the election and signed by the voter, as the client does:
// the text posted as the vote field.
inline std::string clientSeal(const std::string& xml, const std::string& electionCertificate,
                              const std::shared_ptr<const toolkit::Certificate>& voter) {
    X509Crypter crypter(std::make_shared<RecordingMessageBox>());
    crypter.setCertificate(fromUtf8(electionCertificate));
    return toUtf8(X509Signer().Sign(crypter.Encrypt(fromUtf8(xml)), voter));
}

// The voter's certificate as the client makes it; made once, as RSA keys are slow.
inline const std::shared_ptr<const toolkit::Certificate>& clientCertificate() {
    static const auto certificate = std::make_shared<const toolkit::Certificate>(
        toolkit::Certificate::createSelfSigned(u"CN=ArdenaCert, O=TELMARQ, C=PT"));
    return certificate;
}

// The Promotor's form as the client posts it.
inline ParamList tokenForm(const std::string& login, const std::string& password,
                           const toolkit::Certificate& certificate = *clientCertificate(),
                           const std::string& alg = "RSA") {
    return {{u"certificate", fromUtf8(certificate.exportBase64())},
            {u"alg", fromUtf8(alg)},
            {u"utilizador", fromUtf8(login)},
            {u"senha", fromUtf8(password)}};
}

// The fields of the Promotor's answer: six unless it refused.
inline std::vector<std::string> answerFields(const Text& answer) {
    std::vector<std::string> fields;
    for (const auto& field : split(answer, u";", LetterCase::Exact)) {
        fields.push_back(toUtf8(field));
    }
    return fields;
}

// A vote for the demo election, sealed for the answer's election key.
inline std::string demoVote(const std::vector<std::string>& answer,
                            const std::string& president = "Maria Pereira") {
    return clientSeal(
        clientXml({{"BOT_Presidente", {president}}, {"BOT_Referendo", {"Sim"}}}, answer[3]),
        answer[4], clientCertificate());
}

// The SMV's form as the client posts it.
inline ParamList voteForm(const std::string& token, const std::string& vote,
                          const std::string& pin = PinHash) {
    return {{u"pin", fromUtf8(pin)}, {u"token", fromUtf8(token)}, {u"vote", fromUtf8(vote)}};
}

}  // namespace ardenax::testing
