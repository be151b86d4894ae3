#pragma once

#include <atomic>
#include <filesystem>

#include "support/WindowsApi.h"

namespace ardenax::com {

// What the whole DLL shares, as the COM rules for an in-process server want
// it: how many objects live and how many locks the clients hold, which
// DllCanUnloadNow answers from; and where the DLL itself lies.
class ComModule {
public:
    static ComModule& instance();

    void objectCreated() { ++objects_; }
    void objectDestroyed() { --objects_; }
    void lock() { ++locks_; }
    void unlock() { --locks_; }
    bool inUse() const { return objects_ > 0 || locks_ > 0; }

    static HMODULE handle();
    static std::filesystem::path path();

private:
    ComModule() = default;

    std::atomic<long> objects_{0};
    std::atomic<long> locks_{0};
};

// Counts one live object for as long as it lives; a member of every COM
// object of the DLL.
class ObjectCount {
public:
    ObjectCount() { ComModule::instance().objectCreated(); }
    ObjectCount(const ObjectCount&) = delete;
    ObjectCount& operator=(const ObjectCount&) = delete;
    ~ObjectCount() { ComModule::instance().objectDestroyed(); }
};

}  // namespace ardenax::com
