#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace ardenax::app {

// Writes the command's report: sections and emphasis, in colour only when
// the output is a terminal.
class Terminal {
public:
    Terminal(std::ostream& out, bool colour) : out_(out), colour_(colour) {}

    // Whether standard output is a terminal that shows colour.
    static bool stdoutIsColourTerminal();

    void section(std::string_view title);
    std::string bold(std::string_view text) const { return paint("1", text); }
    std::string dim(std::string_view text) const { return paint("2", text); }
    std::string good(std::string_view text) const { return paint("32", text); }
    std::string bad(std::string_view text) const { return paint("31", text); }
    std::ostream& out() { return out_; }

private:
    std::string paint(std::string_view code, std::string_view text) const;

    std::ostream& out_;
    bool colour_;
};

}  // namespace ardenax::app
