#pragma once

#include <map>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ardenax::app {

// A command line that cannot be used as given; its text is one line for a person.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command's arguments, read front to back.
class Arguments {
public:
    explicit Arguments(std::vector<std::string> args) : args_(std::move(args)) {}

    bool done() const { return next_ >= args_.size(); }
    // The next argument, or "" when there is none left.
    std::string peek() const { return done() ? std::string() : args_[next_]; }
    std::string next() { return done() ? std::string() : args_[next_++]; }
    // The value that follows `flag`; "--port needs a value" when none does.
    std::string valueOf(std::string_view flag) {
        if (done()) {
            throw UsageError(std::string(flag) + " needs a value");
        }
        return next();
    }

    // The values of the `--name value` flags of `args`, each of `names` at
    // most once; a flag or an argument not among them is a UsageError, as is
    // a `required` one left out. "--help" alone gives {"--help", ""}.
    static std::map<std::string, std::string> flags(const std::vector<std::string>& args,
                                                    const std::set<std::string>& names,
                                                    const std::set<std::string>& required) {
        std::map<std::string, std::string> values;
        Arguments arguments(args);
        while (!arguments.done()) {
            const std::string arg = arguments.next();
            if (arg == "--help") {
                return {{arg, ""}};
            }
            if (names.count(arg) == 0 || values.count(arg) != 0) {
                throw UsageError("unexpected " + arg);
            }
            values[arg] = arguments.valueOf(arg);
        }
        for (const auto& name : required) {
            if (values.count(name) == 0) {
                throw UsageError(name + " is needed");
            }
        }
        return values;
    }

    // Tells `err` what is wrong in one line, with the way to the help; the
    // exit status of a usage error.
    static int refuse(std::ostream& err, std::string_view command, const UsageError& error) {
        err << command << ": " << error.what() << " (see " << command << " --help)\n";
        return 2;
    }

private:
    std::vector<std::string> args_;
    std::size_t next_ = 0;
};

}  // namespace ardenax::app
