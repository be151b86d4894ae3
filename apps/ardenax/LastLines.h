#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace ardenax::app {

// The last lines of a text that comes in pieces, as a program writes it,
// for telling why the program ended without keeping all it said.
class LastLines {
public:
    explicit LastLines(std::size_t count) : count_(count) {}

    void add(std::string_view piece);
    // At most the last `count` lines, an unfinished last one among them.
    std::vector<std::string> lines() const { return {lines_.begin(), lines_.end()}; }

private:
    std::size_t count_;
    std::deque<std::string> lines_;
    bool lastFinished_ = true;
};

}  // namespace ardenax::app
