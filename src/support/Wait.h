#pragma once

#include <functional>

namespace ardenax {

// How the calling thread spends the control's waits: for the network and for
// a key pair. A host whose thread serves windows (a COM apartment in a
// browser) runs the work on a thread of its own and goes on dispatching the
// thread's window messages meanwhile, so that timers, painting and the page's
// script go on; a call the page makes into the control meanwhile follows
// VotingX's rule for calls made while another is under way. Other hosts run
// the work where they are.
class Wait {
public:
    Wait() = default;
    Wait(const Wait&) = delete;
    Wait& operator=(const Wait&) = delete;
    virtual ~Wait() = default;

    // Runs `work` and returns once it has ended; what it raised is raised here.
    virtual void forWork(const std::function<void()>& work) = 0;
};

// Runs the work on the calling thread, which blocks until it is done.
class InlineWait final : public Wait {
public:
    void forWork(const std::function<void()>& work) override { work(); }
};

}  // namespace ardenax
