#pragma once

#include "FileDescriptor.h"

namespace ardenax::app {

// SIGINT, SIGTERM and SIGCHLD (a browser that ends), blocked in this thread
// and the threads it starts afterwards, so that they arrive only on a
// descriptor that serve polls with the browser's output.
class StopSignals {
public:
    StopSignals();

    int descriptor() const { return signals_.get(); }
    // The next of these signals, waiting for one if none is pending.
    int next() const;

private:
    FileDescriptor signals_;
};

}  // namespace ardenax::app
