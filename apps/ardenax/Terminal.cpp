#include "Terminal.h"

#include <cstdlib>
#include <unistd.h>

namespace ardenax::app {

bool Terminal::stdoutIsColourTerminal() {
    const char* term = std::getenv("TERM");
    return ::isatty(STDOUT_FILENO) == 1 && std::getenv("NO_COLOR") == nullptr && term != nullptr &&
           std::string_view(term) != "dumb";
}

void Terminal::section(std::string_view title) {
    out_ << '\n' << bold(std::string("== ") + std::string(title) + " ==") << '\n';
}

std::string Terminal::paint(std::string_view code, std::string_view text) const {
    if (!colour_) {
        return std::string(text);
    }
    return "\x1b[" + std::string(code) + "m" + std::string(text) + "\x1b[0m";
}

}  // namespace ardenax::app
