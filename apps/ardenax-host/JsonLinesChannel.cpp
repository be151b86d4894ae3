#include "JsonLinesChannel.h"

namespace ardenax::host {

std::optional<std::string> JsonLinesChannel::read() {
    std::string line;
    if (!std::getline(in_, line)) {
        return std::nullopt;
    }
    if (line.ends_with('\r')) {
        line.pop_back();
    }
    return line;
}

void JsonLinesChannel::write(const std::string& message) {
    out_ << message << '\n' << std::flush;
}

}  // namespace ardenax::host
