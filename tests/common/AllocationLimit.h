#pragma once

#include <cstddef>

namespace ardenax::testing {

// While one lives, every allocation through operator new of `bytes` or more
// on this thread throws std::bad_alloc, as on a machine short of memory.
// Allocations of C libraries (OpenSSL, libcurl) are not affected. Needs
// AllocationLimit.cpp, which replaces the global operator new, in the test
// program.
class AllocationLimit {
public:
    explicit AllocationLimit(std::size_t bytes);
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;
    ~AllocationLimit();

private:
    std::size_t previous_;
};

}  // namespace ardenax::testing
