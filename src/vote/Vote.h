#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "support/Text.h"
#include "vote/VotingCards.h"

namespace ardenax {

// A whole vote: its format version, its cards, a random value that makes
// every submission distinct, and the potency the Promotor assigned.
// The card list is absent until set; an entry of it may be null (no card).
// Lists are copied in and out, but the cards themselves are shared.
class Vote {
public:
    using CardList = std::optional<std::vector<std::shared_ptr<ardenax::VotingCards>>>;

    const Text& Version() const { return Version_; }
    void Version(const Text& vNewValue) { Version_ = vNewValue; }
    const CardList& VotingCards() const { return VotingCards_; }
    void VotingCards(const CardList& vNewValue) { VotingCards_ = vNewValue; }
    const Text& Random() const { return Random_; }
    void Random(const Text& vNewValue) { Random_ = vNewValue; }
    const Text& Potency() const { return Potency_; }
    void Potency(const Text& vNewValue) { Potency_ = vNewValue; }

private:
    Text Version_ = u"1.0";
    CardList VotingCards_;
    Text Random_;
    Text Potency_;
};

}  // namespace ardenax
