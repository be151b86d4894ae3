#pragma once

#include <functional>

namespace ardenax::testing {

// Runs work(0) ... work(count - 1) at the same time: each in a process of
// its own where the system forks, else each in a thread. True when every
// one returned 0.
bool runConcurrently(int count, const std::function<int(int)>& work);

}  // namespace ardenax::testing
