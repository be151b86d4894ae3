#include <atomic>
#include <thread>
#include <vector>

#include "common/Concurrently.h"

namespace ardenax::testing {

bool runConcurrently(int count, const std::function<int(int)>& work) {
    std::atomic<bool> allPassed{true};
    std::vector<std::jthread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            try {
                if (work(i) != 0) {
                    allPassed = false;
                }
            } catch (...) {
                allPassed = false;
            }
        });
    }
    threads.clear();
    return allPassed;
}

}  // namespace ardenax::testing
