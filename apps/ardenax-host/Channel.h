#pragma once

#include <cstddef>
#include <optional>
#include <string>

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
struct FramingError {
    std::string description;
};

}  // namespace ardenax::host
