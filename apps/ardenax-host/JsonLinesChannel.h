#pragma once

#include <istream>
#include <ostream>

#include "Channel.h"

namespace ardenax::host {

// One JSON text per line.
class JsonLinesChannel final : public Channel {
public:
    JsonLinesChannel(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

    std::optional<std::string> read() override;
    void write(const std::string& message) override;
    std::size_t maxOutgoing() const override { return std::string::npos; }

private:
    std::istream& in_;
    std::ostream& out_;
};

}  // namespace ardenax::host
