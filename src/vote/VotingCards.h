#pragma once

#include <optional>
#include <vector>

#include "support/Text.h"

namespace ardenax {

// One ballot card of a vote: its identifier and the texts of its choice slots.
// The choice list is absent until set, which is not the same as an empty list.
class VotingCards {
public:
    using ChoiceList = std::optional<std::vector<Text>>;

    void setChoices(const ChoiceList& choices) { Choices_ = choices; }
    const ChoiceList& Choices() const { return Choices_; }
    void Choices(const ChoiceList& vNewValue) { Choices_ = vNewValue; }
    const Text& Id() const { return Id_; }
    void Id(const Text& vNewValue) { Id_ = vNewValue; }

private:
    Text Id_;
    ChoiceList Choices_;
};

}  // namespace ardenax
