#include "BrowserSession.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

#include "support/Failure.h"

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

namespace ardenax::app {
namespace {

namespace fs = std::filesystem;

Failure browserFailure(const std::string& why) {
    return {Failure::InvalidProcedureCall, fromUtf8(why), u"ardenax"};
}

// The installed file below the program's prefix, else the build's.
fs::path installedOrBuilt(const fs::path& belowPrefix, const fs::path& built) {
    std::error_code error;
    const auto prefix = fs::read_symlink("/proc/self/exe", error).parent_path().parent_path();
    return !error && fs::exists(prefix / belowPrefix, error) ? prefix / belowPrefix : built;
}

std::string findOnPath(const std::vector<std::string>& names) {
    const char* path =
        std::getenv("PATH");  // NOLINT(concurrency-mt-unsafe): read before any thread
    std::string folders = path == nullptr ? "/usr/bin:/bin" : path;
    for (const auto& name : names) {
        std::size_t start = 0;
        while (start <= folders.size()) {
            const auto end = std::min(folders.find(':', start), folders.size());
            const fs::path candidate = fs::path(folders.substr(start, end - start)) / name;
            if (::access(candidate.c_str(), X_OK) == 0) {
                return candidate.string();
            }
            start = end + 1;
        }
    }
    return {};
}

// Runs `argv` with `env`, standard output on `out` and standard error on
// `errors`; its process id.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int out,
            int errors) {
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));  // NOLINT: posix_spawn takes char*
    }
    args.push_back(nullptr);
    std::vector<char*> variables;
    for (const auto& variable : env) {
        variables.push_back(const_cast<char*>(variable.c_str()));  // NOLINT: as above
    }
    variables.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors, STDERR_FILENO);
    // serve blocks the signals it waits for; the child must not inherit that.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int failed =
        posix_spawn(&pid, argv[0].c_str(), &actions, &attributes, args.data(), variables.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw browserFailure("cannot start " + argv[0]);
    }
    return pid;
}

// The process environment with `settings` in place of any earlier values.
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& settings) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        if (!settings.contains(text.substr(0, text.find('=')))) {
            env.push_back(text);
        }
    }
    for (const auto& [name, value] : settings) {
        env.push_back(name);
        env.back().append("=").append(value);
    }
    return env;
}

int exitStatus(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A pipe whose reading end never blocks; the writing end, which the browser
// gets, blocks as any output does.
std::pair<FileDescriptor, FileDescriptor> outputPipe() {
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
        throw browserFailure("cannot make a pipe for the browser's output");
    }
    std::pair<FileDescriptor, FileDescriptor> pipe{FileDescriptor(ends[0]),
                                                   FileDescriptor(ends[1])};
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    return pipe;
}

}  // namespace

bool BrowserSession::needsNoSandbox(const Options& options, uid_t user) {
    const auto& extra = options.extraArguments;
    return user == 0 && std::find(extra.begin(), extra.end(), "--no-sandbox") == extra.end();
}

std::vector<std::string> BrowserSession::commandLine(const std::string& program,
                                                     const Options& options, const Folders& folders,
                                                     uid_t user) {
    std::vector<std::string> argv = {program,
                                     "--user-data-dir=" + folders.profile.string(),
                                     "--load-extension=" + folders.extension.string(),
                                     "--disable-features=DisableLoadExtensionCommandLineSwitch",
                                     "--no-first-run",
                                     "--no-default-browser-check"};
    if (needsNoSandbox(options, user)) {
        argv.emplace_back("--no-sandbox");
    }
    if (!options.acceptedKeyPin.empty()) {
        argv.push_back("--ignore-certificate-errors-spki-list=" + options.acceptedKeyPin);
    }
    argv.insert(argv.end(), options.extraArguments.begin(), options.extraArguments.end());
    argv.push_back(options.page);
    return argv;
}

BrowserSession::BrowserSession(const Options& options) {
    program_ = options.browser == "chrome" ? findOnPath({"google-chrome-stable", "google-chrome"})
                                           : findOnPath({"chromium", "chromium-browser"});
    if (program_.empty()) {
        throw browserFailure("no " + options.browser + " found on PATH");
    }
    std::string folder = (fs::temp_directory_path() / "ardenax-browser-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        throw browserFailure("cannot make a profile folder in " +
                             fs::temp_directory_path().string());
    }
    profile_.path = folder;

    const auto host = installedOrBuilt("bin/ardenax-host", ARDENAX_HOST_PROGRAM);
    const auto extension = installedOrBuilt("share/ardenax/extension", ARDENAX_EXTENSION_DIR);
    auto settings = options.hostSettings;
    settings.emplace("ARDENAX_STORE_DIR", (profile_.path / "stores").string());
    const auto env = environmentWith(settings);
    const FileDescriptor quiet(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    const int installed =
        exitStatus(spawn({host.string(), "--install", "--browser", options.browser,
                          "--user-data-dir", profile_.path.string()},
                         env, quiet.get(), STDERR_FILENO));
    if (installed != 0) {
        throw browserFailure("cannot register " + host.string() + " in the browser's profile");
    }
    unsandboxed_ = needsNoSandbox(options, ::getuid());
    // The browser's chatter reaches serve's standard error through serve,
    // which keeps its last lines to tell why it ended.
    auto [output, input] = outputPipe();
    output_ = std::move(output);
    pid_ = spawn(commandLine(program_, options, {profile_.path, extension}, ::getuid()), env,
                 input.get(), input.get());
}

bool BrowserSession::relay(std::ostream& err) {
    std::array<char, 4096> buffer{};
    for (;;) {
        const auto got = ::read(output_.get(), buffer.data(), buffer.size());
        if (got > 0) {
            const std::string_view piece(buffer.data(), static_cast<std::size_t>(got));
            err << piece << std::flush;
            lastLines_.add(piece);
            lineOpen_ = piece.back() != '\n';
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            return got < 0 && errno == EAGAIN;
        }
    }
}

void BrowserSession::relayTheRest(std::ostream& err) {
    relay(err);
    if (lineOpen_) {
        err << '\n';
        lineOpen_ = false;
    }
}

bool BrowserSession::ended() {
    if (pid_ > 0 && ::waitpid(pid_, &status_, WNOHANG) == pid_) {
        pid_ = -1;
    }
    return pid_ <= 0;
}

std::optional<std::string> BrowserSession::failure() const {
    if (WIFSIGNALED(status_)) {
        return "the browser was ended by signal " + std::to_string(WTERMSIG(status_));
    }
    if (WEXITSTATUS(status_) != 0) {
        return "the browser ended with exit status " + std::to_string(WEXITSTATUS(status_));
    }
    return std::nullopt;
}

BrowserSession::~BrowserSession() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

BrowserSession::Profile::~Profile() {
    if (!path.empty()) {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
}

}  // namespace ardenax::app
