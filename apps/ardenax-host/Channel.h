#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "support/Failure.h"

namespace ardenax::host {

// How messages (UTF-8 JSON texts) travel between the host and its caller.
class Channel {
public:
    Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
    virtual ~Channel() = default;

    // The next message, or nullopt at the end of input.
    virtual std::optional<std::string> read() = 0;
    virtual void write(const std::string& message) = 0;
    // The longest message the other side accepts.
    virtual std::size_t maxOutgoing() const = 0;
};

// A channel's input broke its framing in a way that cannot be recovered
// from; the host answers with an error and ends.
class FramingError : public Failure {
public:
    explicit FramingError(const std::string& why)
        : Failure(Failure::E_InvalidArg, fromUtf8(why), u"ardenax-host") {}
};

}  // namespace ardenax::host
