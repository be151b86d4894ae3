#pragma once

#include "support/Wait.h"

namespace ardenax::com {

// The waits of a control in a single-threaded apartment, as a page in a
// browser has it: the work runs on a thread of its own while this thread
// dispatches its window messages, so that the page's timers, painting and
// script go on.
class MessageDispatchingWait final : public Wait {
public:
    void forWork(const std::function<void()>& work) override;
};

}  // namespace ardenax::com
