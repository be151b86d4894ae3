#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "control/VotingX.h"

namespace ardenax {

// The nine methods of VotingX as callers reach them by name or by dispatch
// ID. Every host goes through here, so a method behaves the same however it
// is called.
class DispatchTable {
public:
    enum class ResultKind { TextValue, VariantValue };

    struct Method {
        TextView name;
        std::int32_t dispid;
        std::size_t argCount;
        ResultKind result;
        Variant (*call)(VotingX& control, const std::vector<Text>& args);
    };

    static constexpr std::int32_t FirstDispid = 0x60030000;

    static const std::array<Method, 9>& methods();
    // Looks a method up by name, ignoring letter case as the platform's
    // dispatch does; an unknown name raises DISP_E_UNKNOWNNAME.
    static const Method& find(TextView name);
    // An unknown dispatch ID raises DISP_E_MEMBERNOTFOUND.
    static const Method& find(std::int32_t dispid);
    // Calls `method`; a wrong number of arguments raises DISP_E_BADPARAMCOUNT.
    static Variant invoke(VotingX& control, const Method& method, const std::vector<Text>& args);
};

}  // namespace ardenax
