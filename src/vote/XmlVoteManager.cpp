#include "vote/XmlVoteManager.h"

#include <string>

#include "support/Failure.h"
#include "support/ResultTexts.h"

namespace ardenax {
namespace {

constexpr TextView kCrLf = u"\r\n";

bool allowedInXml(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void appendReference(Text& out, char32_t codePoint) {
    const auto digits = std::to_string(static_cast<std::uint32_t>(codePoint));
    out += u"&#";
    out.append(digits.begin(), digits.end());
    out += u';';
}

const std::vector<std::shared_ptr<VotingCards>>& cardsOf(const Vote& vote) {
    if (!vote.VotingCards()) {
        throw Failure::standard(Failure::SubscriptOutOfRange);
    }
    return *vote.VotingCards();
}

const std::vector<Text>& choicesOf(const VotingCards& card) {
    if (!card.Choices()) {
        throw Failure::standard(Failure::SubscriptOutOfRange);
    }
    return *card.Choices();
}

}  // namespace

Text XmlVoteManager::escape(TextView value, bool attribute) {
    Text out;
    out.reserve(value.size());
    for (std::size_t pos = 0; pos < value.size();) {
        const char32_t c = nextCodePoint(value, pos);
        switch (c) {
            case u'&':
                out += u"&amp;";
                continue;
            case u'<':
                out += u"&lt;";
                continue;
            case u'>':
                out += u"&gt;";
                continue;
            case u'"':
                out += u"&quot;";
                continue;
            default:
                break;
        }
        // A reader turns a raw CR into a line feed, and in an attribute a
        // tab, line feed or CR into a space; references reach it unchanged.
        const bool changedByReaders = c == u'\r' || (attribute && (c == u'\t' || c == u'\n'));
        if (!allowedInXml(c)) {
            out += u'?';
        } else if (changedByReaders || (c >= 0x7F && !(c >= 0xA0 && c <= 0xFF))) {
            appendReference(out, c);
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

Text XmlVoteManager::Store(const Vote& vot) {
    const auto& cards = cardsOf(vot);
    Text xml = u"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>";
    xml += kCrLf;
    xml += u"<Vote version=\"" + escape(vot.Version(), true) + u"\">";
    xml += kCrLf;
    for (const auto& card : cards) {
        if (!card) {
            continue;
        }
        if (trimBlanks(card->Id()).empty()) {
            return Text(results::BlankCardId);
        }
        const Text id = escape(card->Id(), true);
        for (const auto& choice : choicesOf(*card)) {
            xml += u"<VotingCards id=\"" + id + u"\"><Choice>" + escape(choice) +
                   u"</Choice></VotingCards>";
            xml += kCrLf;
        }
    }
    xml += u"<Random>" + escape(vot.Random()) + u"</Random>";
    xml += kCrLf;
    xml += u"<Potency>" + escape(vot.Potency()) + u"</Potency>";
    xml += kCrLf;
    xml += u"</Vote>";
    return xml;
}

std::shared_ptr<Vote> XmlVoteManager::Load(const Text& /*inp*/) {
    return nullptr;
}

}  // namespace ardenax
