#pragma once

#include <cstdint>

#include "control/Guid.h"

namespace ardenax {

// How a hosting browser asks a control whether page script may call it and
// whether page data may initialise it. Results are the platform's status
// codes: 0 for success, E_FAIL for a refused request.
class ObjectSafety {
public:
    static constexpr std::uint32_t SafeForUntrustedCaller = 1;
    static constexpr std::uint32_t SafeForUntrustedData = 2;
    static constexpr std::int32_t S_Ok = 0;

    ObjectSafety() = default;
    ObjectSafety(const ObjectSafety&) = delete;
    ObjectSafety& operator=(const ObjectSafety&) = delete;
    virtual ~ObjectSafety() = default;

    // `riid` may be null. `enabledOptions` is written only for the interfaces
    // the control knows.
    virtual std::int32_t GetInterfaceSafetyOptions(const Guid* riid,
                                                   std::uint32_t* supportedOptions,
                                                   std::uint32_t* enabledOptions) const = 0;
    virtual std::int32_t SetInterfaceSafetyOptions(const Guid* riid, std::uint32_t dwOptionsSetMask,
                                                   std::uint32_t dwEnabledOptions) const = 0;
};

}  // namespace ardenax
