#include "LastLines.h"

namespace ardenax::app {

void LastLines::add(std::string_view piece) {
    for (const char c : piece) {
        if (lastFinished_) {
            lines_.emplace_back();
            lastFinished_ = false;
            if (lines_.size() > count_) {
                lines_.pop_front();
            }
        }
        if (c == '\n') {
            lastFinished_ = true;
        } else {
            lines_.back() += c;
        }
    }
}

}  // namespace ardenax::app
