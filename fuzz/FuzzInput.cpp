#include "FuzzInput.h"

#include <cstdint>

namespace ardenax::fuzzing {

std::vector<std::string_view> pieces(std::string_view input, std::size_t count) {
    std::vector<std::string_view> out;
    while (out.size() + 1 < count) {
        const auto end = input.find('\n');
        out.push_back(input.substr(0, end));
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    }
    out.push_back(input);
    return out;
}

Text utf16(std::string_view bytes) {
    Text text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8U));
    }
    return text;
}

}  // namespace ardenax::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ardenax::fuzzing::fuzz({reinterpret_cast<const char*>(data), size});
    return 0;
}
