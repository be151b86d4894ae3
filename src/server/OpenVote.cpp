#include "server/OpenVote.h"

#include <algorithm>
#include <cctype>
#include <set>

#include <pugixml.hpp>

#include "crypto/toolkit/CmsOpening.h"
#include "crypto/toolkit/Encoding.h"
#include "server/SealedVote.h"
#include "support/Failure.h"

namespace ardenax::server {
namespace {

constexpr std::string_view CardPrefix = "BOT_";
constexpr std::string_view Version = "1.0";

bool sameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// XML allows no C0 control character but tab, line feed and carriage return.
bool hasForbiddenBytes(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r';
    });
}

// The text of an element that may hold character data only.
std::optional<std::string> textOnly(const pugi::xml_node& element) {
    std::string text;
    for (const auto& child : element.children()) {
        if (child.type() != pugi::node_pcdata && child.type() != pugi::node_cdata) {
            return std::nullopt;
        }
        text += child.value();
    }
    return text;
}

// Fills the document's parts into `vote`; gives the refusal, or "" when the
// document has the vote's shape.
std::string_view parseDocument(const pugi::xml_document& document, OpenedVote& vote) {
    constexpr std::string_view NotVoteFormat = "ERROR the vote document is not in the vote format";
    const auto declaration = document.first_child();
    if (declaration.type() != pugi::node_declaration ||
        !sameLetters(declaration.attribute("encoding").value(), "iso-8859-1")) {
        return "ERROR the vote document is not well-formed ISO-8859-1 XML";
    }
    const auto root = declaration.next_sibling();
    if (root.type() != pugi::node_element || std::string_view(root.name()) != "Vote" ||
        root.next_sibling()) {
        return NotVoteFormat;
    }
    vote.version = root.attribute("version").value();
    bool seenRandom = false;
    bool seenPotency = false;
    std::set<std::string> finishedCards;
    for (const auto& child : root.children()) {
        const std::string_view name = child.name();
        const auto text = textOnly(child);
        if (child.type() != pugi::node_element || seenPotency) {
            return NotVoteFormat;
        }
        if (name == "VotingCards" && !seenRandom) {
            const auto choice = child.first_child();
            const auto choiceText = textOnly(choice);
            if (choice.type() != pugi::node_element ||
                std::string_view(choice.name()) != "Choice" || choice.next_sibling() ||
                !choiceText) {
                return NotVoteFormat;
            }
            const std::string id = child.attribute("id").value();
            if (vote.cards.empty() || vote.cards.back().id != id) {
                // A card's choices come together; meeting a card again is not a vote.
                if (!vote.cards.empty()) {
                    finishedCards.insert(vote.cards.back().id);
                }
                if (finishedCards.count(id) != 0) {
                    return NotVoteFormat;
                }
                vote.cards.push_back({id, {}});
            }
            vote.cards.back().choices.push_back(*choiceText);
        } else if (name == "Random" && !seenRandom && text) {
            vote.random = *text;
            seenRandom = true;
        } else if (name == "Potency" && seenRandom && text) {
            vote.potency = *text;
            seenPotency = true;
        } else {
            return NotVoteFormat;
        }
    }
    if (!seenPotency) {
        return NotVoteFormat;
    }
    return {};
}

std::string_view checkRules(const OpenedVote& vote, const VoteExpectations& expected) {
    if (vote.version != Version) {
        return "ERROR the vote version is not 1.0";
    }
    if (vote.random.empty()) {
        return "ERROR the vote has no random value";
    }
    if (expected.potency && vote.potency != *expected.potency) {
        return "ERROR the potency of the vote does not match";
    }
    if (expected.ballot) {
        for (const auto& card : vote.cards) {
            const auto found = std::find_if(
                expected.ballot->begin(), expected.ballot->end(), [&](const BallotCard& known) {
                    return card.id.size() == CardPrefix.size() + known.name.size() &&
                           card.id.starts_with(CardPrefix) && card.id.ends_with(known.name);
                });
            if (found == expected.ballot->end()) {
                return "ERROR a ballot card of the vote is not in the election";
            }
            if (card.choices.size() != static_cast<std::size_t>(found->slots)) {
                return "ERROR a ballot card of the vote has the wrong number of choices";
            }
            const auto& candidates = found->candidates;
            const bool allCandidates =
                std::all_of(card.choices.begin(), card.choices.end(), [&](const std::string& c) {
                    return c.empty() || candidates.empty() ||
                           std::find(candidates.begin(), candidates.end(), c) != candidates.end();
                });
            if (!allCandidates) {
                return "ERROR a choice of the vote is not a candidate of its card";
            }
        }
    }
    return {};
}

}  // namespace

std::string_view readVoteDocument(std::string_view content, OpenedVote& vote) {
    vote.xml = toUtf8(fromAnsi(content));
    // A choice of blanks only is a text of its own, not an empty choice: the
    // lone white-space text of an element is kept.
    pugi::xml_document document;
    if (hasForbiddenBytes(content) ||
        !document.load_buffer(
            vote.xml.data(), vote.xml.size(),
            pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata_single,
            pugi::encoding_utf8)) {
        return "ERROR the vote document is not well-formed ISO-8859-1 XML";
    }
    return parseDocument(document, vote);
}

OpenedVote openEnvelope(std::string_view envelope, const toolkit::Certificate& election,
                        const VoteExpectations& expected) {
    OpenedVote vote;
    const auto refuse = [&vote](std::string_view reason) {
        vote.refusal = reason;
        return vote;
    };
    const auto opened = toolkit::openEnvelopedData(envelope, election);
    if (opened.check == toolkit::EnvelopeCheck::Malformed) {
        return refuse("ERROR the signed content is not an envelope");
    }
    if (opened.check == toolkit::EnvelopeCheck::Unopenable) {
        return refuse("ERROR the envelope does not open with the election key");
    }
    if (const auto refusal = readVoteDocument(opened.content, vote); !refusal.empty()) {
        return refuse(refusal);
    }
    if (const auto refusal = checkRules(vote, expected); !refusal.empty()) {
        return refuse(refusal);
    }
    return vote;
}

OpenedVote openVote(std::string_view voteBase64, const toolkit::Certificate& election,
                    const VoteExpectations& expected) {
    const auto sealed = checkSealedVote(voteBase64, expected.signerCertificate, election);
    OpenedVote vote;
    if (sealed.signer) {
        vote.signerSubject = toUtf8(sealed.signer->subject());
        vote.signerThumbprint = sealed.signer->thumbprint();
        vote.signerCertificate = sealed.signer->exportBase64();
    }
    vote.submission = sealed.submission;
    if (!sealed.sound()) {
        vote.refusal = sealed.refusal;
        return vote;
    }
    OpenedVote opened = openEnvelope(sealed.envelope, election, expected);
    opened.submission = vote.submission;
    opened.signerSubject = std::move(vote.signerSubject);
    opened.signerThumbprint = std::move(vote.signerThumbprint);
    opened.signerCertificate = std::move(vote.signerCertificate);
    return opened;
}

}  // namespace ardenax::server
