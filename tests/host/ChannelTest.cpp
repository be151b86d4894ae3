#include <sstream>

#include <gtest/gtest.h>

#include "JsonLinesChannel.h"
#include "NativeMessagingChannel.h"

namespace ardenax::host {
namespace {

std::string framed(const std::string& message) {
    const auto n = static_cast<std::uint32_t>(message.size());
    std::string out{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                    static_cast<char>((n >> 16) & 0xFF), static_cast<char>(n >> 24)};
    return out + message;
}

TEST(NativeMessagingChannel, ReadsAndWritesLittleEndianLengthPrefixedMessages) {
    const std::string big(300, 'x');
    std::istringstream in(framed("{\"a\":1}") + framed(big) + framed(""));
    std::ostringstream out;
    NativeMessagingChannel channel(in, out);
    EXPECT_EQ(channel.read(), "{\"a\":1}");
    EXPECT_EQ(channel.read(), big);
    EXPECT_EQ(channel.read(), "");
    EXPECT_EQ(channel.read(), std::nullopt);
    channel.write(big);
    EXPECT_EQ(out.str(), framed(big));
    EXPECT_EQ(out.str().substr(0, 4), std::string("\x2C\x01\x00\x00", 4));
}

TEST(NativeMessagingChannel, BrokenFramingIsAFramingError) {
    std::ostringstream out;
    for (const std::string& input : {std::string("\x05\x00", 2), framed("{\"a\":1}").substr(0, 8),
                                     std::string("\x01\x00\x00\x05", 4)}) {
        std::istringstream in(input);
        NativeMessagingChannel channel(in, out);
        EXPECT_THROW(channel.read(), FramingError);
    }
    EXPECT_EQ(NativeMessagingChannel(std::cin, out).maxOutgoing(), 1024U * 1024U);
}

TEST(JsonLinesChannel, OneMessagePerLineWithOrWithoutCarriageReturn) {
    std::istringstream in("{\"a\":1}\r\n\n{\"b\":2}");
    std::ostringstream out;
    JsonLinesChannel channel(in, out);
    EXPECT_EQ(channel.read(), "{\"a\":1}");
    EXPECT_EQ(channel.read(), "");
    EXPECT_EQ(channel.read(), "{\"b\":2}");
    EXPECT_EQ(channel.read(), std::nullopt);
    channel.write("{}");
    EXPECT_EQ(out.str(), "{}\n");
}

}  // namespace
}  // namespace ardenax::host
