// Any vote the client's writer makes of card ids and choice texts is read by
// the reference server's parser as exactly those texts (characters XML cannot
// carry at all are '?', as the writer promises).
#include <set>

#include "FuzzInput.h"
#include "server/OpenVote.h"
#include "vote/XmlVoteManager.h"

namespace {

bool allowedInXml(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The text as the server should read it, in UTF-8.
std::string expected(ardenax::TextView text) {
    ardenax::Text out;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const char32_t c = ardenax::nextCodePoint(text, pos);
        out += allowedInXml(c) ? text.substr(start, pos - start) : ardenax::TextView(u"?");
    }
    return ardenax::toUtf8(out);
}

}  // namespace

// U+FFFF (which no vote text can carry) separates the fields: a card's id,
// then one to three choices, as the id's length says.
void ardenax::fuzzing::fuzz(std::string_view input) {
    const Text text = utf16(input);
    std::vector<Text> fields;
    for (std::size_t start = 0; start <= text.size();) {
        const auto end = std::min(text.find(u'\uFFFF', start), text.size());
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::shared_ptr<VotingCards>> cards;
    std::vector<server::OpenedCard> wanted;
    std::set<std::string> ids;
    for (std::size_t i = 0; i < fields.size();) {
        const Text& id = fields[i];
        const std::size_t count = std::min<std::size_t>(id.size() % 3 + 1, fields.size() - i - 1);
        std::vector<Text> choices(fields.begin() + static_cast<std::ptrdiff_t>(i + 1),
                                  fields.begin() + static_cast<std::ptrdiff_t>(i + 1 + count));
        i += 1 + count;
        // The platform's cards have distinct, non-blank ids and their choices;
        // ids that differ only in characters XML cannot carry are one id.
        if (trimBlanks(id).empty() || count == 0 || !ids.insert(expected(id)).second) {
            continue;
        }
        auto card = std::make_shared<VotingCards>();
        card->Id(id);
        card->setChoices(choices);
        cards.push_back(card);
        wanted.push_back({expected(id), {}});
        for (const auto& choice : choices) {
            wanted.back().choices.push_back(expected(choice));
        }
    }
    Vote vote;
    vote.VotingCards(cards);
    vote.Random(u"R");
    vote.Potency(u"1");
    server::OpenedVote opened;
    require(server::readVoteDocument(toAnsi(XmlVoteManager::Store(vote)), opened).empty());
    require(opened.cards == wanted);
}
