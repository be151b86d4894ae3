#include "NativeMessagingChannel.h"

#include <array>
#include <cstdint>

namespace ardenax::host {

std::optional<std::string> NativeMessagingChannel::read() {
    std::array<char, 4> header{};
    in_.read(header.data(), header.size());
    if (in_.gcount() == 0) {
        return std::nullopt;
    }
    if (in_.gcount() != static_cast<std::streamsize>(header.size())) {
        throw FramingError{"the input ended inside a message's length"};
    }
    std::uint32_t length = 0;
    for (std::size_t i = header.size(); i-- > 0;) {
        length = (length << 8) | static_cast<unsigned char>(header[i]);
    }
    if (length > MaxIncoming) {
        throw FramingError{"a message of " + std::to_string(length) +
                           " bytes is over the limit of " + std::to_string(MaxIncoming)};
    }
    std::string message(length, '\0');
    in_.read(message.data(), static_cast<std::streamsize>(length));
    if (in_.gcount() != static_cast<std::streamsize>(length)) {
        throw FramingError{"the input ended inside a message of " + std::to_string(length) +
                           " bytes"};
    }
    return message;
}

void NativeMessagingChannel::write(const std::string& message) {
    const auto length = static_cast<std::uint32_t>(message.size());
    std::array<char, 4> header{};
    for (std::size_t i = 0; i < header.size(); ++i) {
        header[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    }
    out_.write(header.data(), header.size());
    out_.write(message.data(), static_cast<std::streamsize>(message.size()));
    out_.flush();
}

}  // namespace ardenax::host
