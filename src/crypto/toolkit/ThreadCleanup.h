#pragma once

namespace ardenax::toolkit {

// Gives back, when it goes, what OpenSSL keeps for the calling thread. A
// thread of ours that uses OpenSSL holds one for its whole work: where
// OpenSSL is linked statically into a Windows module, nothing else frees that
// state when the thread ends (elsewhere this only does early what would be
// done anyway).
class ThreadCleanup {
public:
    ThreadCleanup() = default;
    ThreadCleanup(const ThreadCleanup&) = delete;
    ThreadCleanup& operator=(const ThreadCleanup&) = delete;
    ~ThreadCleanup();
};

}  // namespace ardenax::toolkit
