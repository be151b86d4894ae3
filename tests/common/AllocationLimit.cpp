#include "common/AllocationLimit.h"

#include <cstdlib>
#include <limits>
#include <new>

namespace {

thread_local std::size_t allocationLimit = std::numeric_limits<std::size_t>::max();

void* allocate(std::size_t bytes) {
    if (bytes >= allocationLimit) {
        throw std::bad_alloc();
    }
    // malloc(0) may give null; operator new must not.
    // NOLINTNEXTLINE(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory)
    void* memory = std::malloc(bytes == 0 ? 1 : bytes);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

}  // namespace

namespace ardenax::testing {

AllocationLimit::AllocationLimit(std::size_t bytes) : previous_(allocationLimit) {
    allocationLimit = bytes;
}

AllocationLimit::~AllocationLimit() {
    allocationLimit = previous_;
}

}  // namespace ardenax::testing

// The replaceable global allocation functions; the array forms the library
// provides end in these.
void* operator new(std::size_t bytes) {
    return allocate(bytes);
}
void operator delete(void* memory) noexcept {
    std::free(memory);  // NOLINT(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory)
}
void operator delete(void* memory, std::size_t /*bytes*/) noexcept {
    std::free(memory);  // NOLINT(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory)
}
