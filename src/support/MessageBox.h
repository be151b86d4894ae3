#pragma once

#include "support/Text.h"

namespace ardenax {

// A modal message box with the caption "ArdenaX" and a single OK button.
// `show` returns only once the user has closed the box. Hosts decide how a box
// is shown (a terminal prompt, an event answered by the caller, a browser alert).
class MessageBox {
public:
    static constexpr TextView Caption = u"ArdenaX";

    MessageBox() = default;
    MessageBox(const MessageBox&) = delete;
    MessageBox& operator=(const MessageBox&) = delete;
    virtual ~MessageBox() = default;

    virtual void show(const Text& text) = 0;
};

}  // namespace ardenax
