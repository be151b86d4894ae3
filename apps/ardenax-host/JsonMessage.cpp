#include "JsonMessage.h"

namespace ardenax::host {

nlohmann::json parseMessage(std::string_view text) {
    using nlohmann::json;
    if (text.find('\0') != std::string_view::npos) {
        return json(json::value_t::discarded);
    }
    bool tooDeep = false;
    // Declining every value below the bound keeps the parsed value shallow;
    // the parser itself keeps its nesting on the heap.
    json message = json::parse(
        text,
        [&tooDeep](int depth, json::parse_event_t /*event*/, json& /*value*/) {
            tooDeep = tooDeep || depth > MaxMessageDepth;
            return !tooDeep;
        },
        false);
    return tooDeep ? json(json::value_t::discarded) : message;
}

}  // namespace ardenax::host
