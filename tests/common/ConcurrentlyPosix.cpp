#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "common/Concurrently.h"

namespace ardenax::testing {

bool runConcurrently(int count, const std::function<int(int)>& work) {
    std::vector<pid_t> children;
    for (int i = 0; i < count; ++i) {
        const pid_t child = ::fork();
        if (child < 0) {
            return false;
        }
        if (child == 0) {
            int status = 1;
            try {
                status = work(i);
            } catch (...) {
                status = 1;
            }
            ::_exit(status);
        }
        children.push_back(child);
    }
    bool allPassed = true;
    for (const pid_t child : children) {
        int status = 0;
        allPassed = ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                    WEXITSTATUS(status) == 0 && allPassed;
    }
    return allPassed;
}

}  // namespace ardenax::testing
