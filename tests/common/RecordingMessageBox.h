#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "support/MessageBox.h"

namespace ardenax::testing {

// Closes every box at once and keeps its text, for exact comparison.
class RecordingMessageBox final : public MessageBox {
public:
    void show(const Text& text) override {
        texts.push_back(text);
        // What a page's script does while the box is open, once.
        if (auto action = std::exchange(whileOpen, nullptr)) {
            action();
        }
    }

    std::vector<Text> texts;
    std::function<void()> whileOpen;
};

}  // namespace ardenax::testing
