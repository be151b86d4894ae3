#include "support/Failure.h"

#include <new>
#include <utility>

namespace ardenax {

Failure::Failure(std::int32_t number, Text description, Text source)
    : number_(number),
      description_(std::move(description)),
      source_(std::move(source)),
      what_(std::to_string(number_) + ": " + toUtf8(description_)) {}

Failure Failure::standard(std::int32_t number) {
    return {number, standardDescription(number)};
}

Failure Failure::from(const std::exception& error) {
    if (const auto* failure = dynamic_cast<const Failure*>(&error)) {
        return *failure;
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return standard(OutOfMemory);
    }
    return standard(E_Fail);
}

Text standardDescription(std::int32_t number) {
    switch (number) {
        case Failure::InvalidProcedureCall:
            return u"Invalid procedure call or argument";
        case Failure::Overflow:
            return u"Overflow";
        case Failure::OutOfMemory:
            return u"Out of memory";
        case Failure::SubscriptOutOfRange:
            return u"Subscript out of range";
        case Failure::TypeMismatch:
            return u"Type mismatch";
        case Failure::PathNotFound:
            return u"Path not found";
        case Failure::InvalidUseOfNull:
            return u"Invalid use of Null";
        case Failure::E_Fail:
            return u"Unspecified error";
        case Failure::E_AccessDenied:
            return u"Access is denied.";
        case Failure::E_InvalidArg:
            return u"The parameter is incorrect.";
        case Failure::DispUnknownName:
            return u"Unknown name.";
        case Failure::DispMemberNotFound:
            return u"Member not found.";
        case Failure::DispBadParamCount:
            return u"Invalid number of parameters.";
        case Failure::DispTypeMismatch:
            return u"Type mismatch.";
        default:
            return u"";
    }
}

}  // namespace ardenax
