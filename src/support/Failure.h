#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "support/Text.h"

namespace ardenax {

// The system's error value: a signed 32-bit number, a description and the
// source that raised it. Thrown as an exception, caught where the system
// catches failures.
class Failure : public std::exception {
public:
    static constexpr std::int32_t InvalidProcedureCall = 5;
    static constexpr std::int32_t Overflow = 6;
    static constexpr std::int32_t OutOfMemory = 7;
    static constexpr std::int32_t SubscriptOutOfRange = 9;
    static constexpr std::int32_t TypeMismatch = 13;
    static constexpr std::int32_t PathNotFound = 76;
    static constexpr std::int32_t InvalidUseOfNull = 94;
    static constexpr std::int32_t NoBullOptions = 9999;
    static constexpr std::int32_t NoCertificate = 5091;
    static constexpr std::int32_t E_Fail = static_cast<std::int32_t>(0x80004005U);
    static constexpr std::int32_t E_AccessDenied = static_cast<std::int32_t>(0x80070005U);
    static constexpr std::int32_t E_InvalidArg = static_cast<std::int32_t>(0x80070057U);
    static constexpr std::int32_t DispUnknownName = static_cast<std::int32_t>(0x80020006U);
    static constexpr std::int32_t DispMemberNotFound = static_cast<std::int32_t>(0x80020003U);
    static constexpr std::int32_t DispBadParamCount = static_cast<std::int32_t>(0x8002000EU);
    static constexpr std::int32_t DispTypeMismatch = static_cast<std::int32_t>(0x80020005U);

    // The component's own name, the source of failures raised without one.
    static constexpr TextView DefaultSource = u"ArdenaX";

    Failure(std::int32_t number, Text description, Text source = Text(DefaultSource));

    // A failure with the run-time's standard description for `number`
    // ("Overflow" for 6, "Type mismatch" for 13, ...).
    static Failure standard(std::int32_t number);
    // The failure any exception stands for where failures are caught: a
    // Failure as it is, std::bad_alloc as "Out of memory" (7), any other as
    // E_FAIL "Unspecified error".
    static Failure from(const std::exception& error);

    std::int32_t number() const { return number_; }
    // The number in signed decimal, as messages show it (E_FAIL is -2147467259).
    Text numberText() const { return fromUtf8(std::to_string(number_)); }
    const Text& description() const { return description_; }
    const Text& source() const { return source_; }

    const char* what() const noexcept override { return what_.c_str(); }

private:
    std::int32_t number_;
    Text description_;
    Text source_;
    std::string what_;
};

// The run-time's standard description of an error number, "" when it has none.
Text standardDescription(std::int32_t number);

}  // namespace ardenax
