#pragma once

#include <memory>

#include "support/Text.h"
#include "vote/Vote.h"

namespace ardenax {

// Writes a vote as the XML document the SMV opens. Values are escaped so that
// the document stays well-formed ISO-8859-1 whatever the voter typed.
class XmlVoteManager {
public:
    // The document, or "ERROR55" when a card's identifier is blank. A vote
    // whose card list, or a card whose choice list, was never set raises
    // "Subscript out of range" (9).
    static Text Store(const Vote& vot);
    // Reading a document back is not part of the voter's side: no vote (null)
    // for every input.
    static std::shared_ptr<Vote> Load(const Text& inp);

    // The escaped form of one value: markup characters as entity references,
    // characters outside ISO-8859-1 and carriage returns (in an attribute,
    // tabs and line feeds too) as numeric references, so that a reader gets
    // them back unchanged; characters XML does not allow at all as '?'.
    static Text escape(TextView value, bool attribute = false);
};

}  // namespace ardenax
