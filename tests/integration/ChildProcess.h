#pragma once

#include <algorithm>
#include <array>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

namespace ardenax::testing {

// A program run with its standard input and output on pipes, for tests that
// talk to it as its caller would.
class ChildProcess {
public:
    // What the program gets besides its arguments: its standard error on the
    // output pipe too, and "NAME=value" variables added to this process's.
    struct Extras {
        bool errorsToOutput = false;
        std::vector<std::string> variables{};
    };

    ChildProcess(const std::string& program, const std::vector<std::string>& args)
        : ChildProcess(program, args, Extras{}) {}
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const Extras& extras) {
        std::array<int, 2> in{};
        std::array<int, 2> out{};
        if (::pipe2(in.data(), O_CLOEXEC) != 0 || ::pipe2(out.data(), O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (extras.errorsToOutput) {
            posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        }
        std::vector<std::string> variables = extras.variables;
        for (char** variable = environ; *variable != nullptr; ++variable) {
            const std::string text(*variable);
            const auto named = [&text](const std::string& added) {
                return text.starts_with(added.substr(0, added.find('=') + 1));
            };
            if (std::none_of(extras.variables.begin(), extras.variables.end(), named)) {
                variables.push_back(text);
            }
        }
        std::vector<char*> variablePointers;
        variablePointers.reserve(variables.size() + 1);
        for (auto& variable : variables) {
            variablePointers.push_back(variable.data());
        }
        variablePointers.push_back(nullptr);
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> argvPointers;
        argvPointers.reserve(argv.size() + 1);
        for (auto& text : argv) {
            argvPointers.push_back(text.data());
        }
        argvPointers.push_back(nullptr);
        const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr,
                                        argvPointers.data(), variablePointers.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
        if (spawned != 0) {
            throw std::runtime_error("cannot start " + program);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        closeInput();
        if (fromChild_ >= 0) {
            ::close(fromChild_);
        }
        if (pid_ > 0) {
            wait();
        }
    }

    void write(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const auto written = ::write(toChild_, bytes.data() + done, bytes.size() - done);
            if (written <= 0) {
                throw std::runtime_error("the child stopped reading");
            }
            done += static_cast<std::size_t>(written);
        }
    }
    // Exactly `count` bytes, or nullopt at the end of the child's output.
    std::optional<std::string> read(std::size_t count) const {
        std::string bytes(count, '\0');
        std::size_t done = 0;
        while (done < count) {
            const auto got = ::read(fromChild_, bytes.data() + done, count - done);
            if (got <= 0) {
                return std::nullopt;
            }
            done += static_cast<std::size_t>(got);
        }
        return bytes;
    }
    std::optional<std::string> readLine() const {
        std::string line;
        char c = 0;
        while (::read(fromChild_, &c, 1) == 1) {
            if (c == '\n') {
                return line;
            }
            line += c;
        }
        return std::nullopt;
    }
    pid_t pid() const { return pid_; }
    // Sends `signal` to the child (SIGKILL to make it crash).
    void kill(int signal) const { ::kill(pid_, signal); }
    void closeInput() {
        if (toChild_ >= 0) {
            ::close(toChild_);
            toChild_ = -1;
        }
    }
    // The exit status, once the child has ended.
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
};

}  // namespace ardenax::testing
