#pragma once

#include <vector>

#include "support/MessageBox.h"

namespace ardenax::testing {

// Closes every box at once and keeps its text, for exact comparison.
class RecordingMessageBox final : public MessageBox {
public:
    void show(const Text& text) override { texts.push_back(text); }

    std::vector<Text> texts;
};

}  // namespace ardenax::testing
