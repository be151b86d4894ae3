#pragma once

#include "support/MessageBox.h"

namespace ardenax::com {

// A real modal MessageBoxW with the caption "ArdenaX" and an OK button,
// owned by the host's active window on this thread where there is one.
class WindowsMessageBox final : public MessageBox {
public:
    void show(const Text& text) override;
};

}  // namespace ardenax::com
