#pragma once

#include <cstddef>
#include <istream>
#include <ostream>

#include "Channel.h"

namespace ardenax::host {

// Browser native messaging: a 32-bit little-endian length, then that many
// bytes of UTF-8 JSON, in both directions.
class NativeMessagingChannel final : public Channel {
public:
    // Browsers refuse host messages over 1 MiB.
    static constexpr std::size_t MaxOutgoing = std::size_t{1024} * 1024;
    // Browsers send at most 64 MiB; a longer length means the stream is broken.
    static constexpr std::size_t MaxIncoming = std::size_t{64} * 1024 * 1024;

    NativeMessagingChannel(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

    // Raises FramingError for a length over MaxIncoming or a message cut short.
    std::optional<std::string> read() override;
    void write(const std::string& message) override;
    std::size_t maxOutgoing() const override { return MaxOutgoing; }

private:
    std::istream& in_;
    std::ostream& out_;
};

}  // namespace ardenax::host
