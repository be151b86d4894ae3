// ardenax-host: one VotingX per process, driven by JSON messages on
// stdin/stdout, as browser native messaging (default) or JSON lines (--jsonl).
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "HostSession.h"
#include "HostSystem.h"
#include "JsonLinesChannel.h"
#include "NativeHostInstaller.h"
#include "NativeMessagingChannel.h"
#include "OriginPolicy.h"
#include "common/Arguments.h"
#include "common/Settings.h"
#include "crypto/X509Manager.h"
#include "support/Version.h"

namespace {

constexpr const char* kUsage =
    R"(usage: ardenax-host [--jsonl] [--auto-close-message-boxes] [settings]
       ardenax-host --install|--uninstall [--browser chromium|chrome|edge|firefox|all]
                    [--user-data-dir DIR]

Serves the nine methods of one ArdenaX control on stdin/stdout.
Without --jsonl it speaks browser native messaging (32-bit little-endian
length, then UTF-8 JSON) and first expects the page's origin from the
extension: {"origin": "https://..."}. Only the voting origins are served
(ARDENAX_ALLOWED_ORIGINS, comma-separated, replaces them; "*" as a port means
any port). With --jsonl, one JSON object per line and no origin.

--install writes the browsers' native-messaging manifests for this user,
naming this program (on Windows with their registry keys, edge among them);
--uninstall removes them. --browser defaults to all, or to chromium with
--user-data-dir (a Chromium or Chrome profile folder, Linux only).

  --jsonl                      one JSON object per line
  --auto-close-message-boxes   send message boxes without waiting for them to be closed
  --promotor-url URL           token endpoint            (ARDENAX_PROMOTOR_URL)
  --smv-url URL                vote endpoint             (ARDENAX_SMV_URL)
  --store-dir DIR              certificate store root    (ARDENAX_STORE_DIR)
  --ca-file FILE               extra CA certificates     (ARDENAX_CA_FILE)
  --documents-dir DIR          documents folder          (ARDENAX_DOCUMENTS_DIR)
  --connect-timeout-s N        connect timeout, seconds  (ARDENAX_CONNECT_TIMEOUT_S)
  --timeout-s N                request timeout, seconds  (ARDENAX_TIMEOUT_S)
  --help, --version
Arguments a browser adds (the caller's origin, --parent-window=N) are ignored.
)";

// A "--name value" or "--name=value" setting.
void setting(const std::string& arg, ardenax::app::Arguments& arguments,
             ardenax::app::Settings& settings) {
    const auto equals = arg.find('=');
    const std::string flag = arg.substr(0, equals);
    // Known before its value is looked for: a stray option needs no value.
    const auto& names = ardenax::app::Settings::flagNames();
    if (std::find(names.begin(), names.end(), flag.substr(2)) == names.end()) {
        throw ardenax::app::UsageError("unknown option " + flag);
    }
    const std::string value =
        equals != std::string::npos ? arg.substr(equals + 1) : arguments.valueOf(flag);
    try {
        settings.set(flag.substr(2), value);
    } catch (const ardenax::Failure& failure) {
        throw ardenax::app::UsageError(ardenax::toUtf8(failure.description()));
    }
}

struct Command {
    enum class Action { Serve, Install, Uninstall };
    Action action = Action::Serve;
    bool jsonLines = false;
    ardenax::host::HostSession::Options options;
    std::string browser;
    std::optional<std::filesystem::path> userDataDir;
};

// Reads the command line into `command` and `settings`; returns an exit code
// when the program should end at once.
std::optional<int> parse(const std::vector<std::string>& args, Command& command,
                         ardenax::app::Settings& settings) {
    using ardenax::app::UsageError;
    ardenax::app::Arguments arguments(args);
    try {
        while (!arguments.done()) {
            const std::string arg = arguments.next();
            if (arg == "--help") {
                std::cout << kUsage;
                return 0;
            }
            if (arg == "--version") {
                std::cout << ardenax::ProductVersionUtf8 << '\n';
                return 0;
            }
            if (arg == "--install" || arg == "--uninstall") {
                command.action =
                    arg == "--install" ? Command::Action::Install : Command::Action::Uninstall;
            } else if (arg == "--browser") {
                command.browser = arguments.valueOf(arg);
            } else if (arg == "--user-data-dir") {
                command.userDataDir = arguments.valueOf(arg);
            } else if (arg == "--jsonl") {
                command.jsonLines = true;
            } else if (arg == "--auto-close-message-boxes") {
                command.options.autoCloseMessageBoxes = true;
            } else if (arg.starts_with("--parent-window=") || !arg.starts_with("--")) {
                continue;  // added by browsers
            } else {
                setting(arg, arguments, settings);
            }
        }
    } catch (const UsageError& error) {
        return ardenax::app::Arguments::refuse(std::cerr, "ardenax-host", error);
    }
    return std::nullopt;
}

// The manifests to write or remove. Installing for all browsers means those on
// this machine; uninstalling looks wherever an install may have written.
std::vector<ardenax::host::NativeHostInstaller::Target> targetsOf(const Command& command) {
    using ardenax::host::NativeHostInstaller;
    const std::string browser =
        !command.browser.empty() ? command.browser : (command.userDataDir ? "chromium" : "all");
    return NativeHostInstaller::targets(browser, ardenax::host::HostSystem::userFolders(),
                                        command.userDataDir,
                                        command.action == Command::Action::Install);
}

int installOrUninstall(const Command& command) {
    using ardenax::host::NativeHostInstaller;
    const auto targets = targetsOf(command);
    if (targets.empty()) {
        std::cerr << "ardenax-host: no browser found to install for; name one with --browser\n";
        return 1;
    }
    const auto self = ardenax::host::HostSystem::ownProgram();
    for (const auto& target : targets) {
        if (command.action == Command::Action::Install) {
            NativeHostInstaller::install(target, self);
            std::cout << "Installed " << ardenax::toUtf8(target.manifest.u16string()) << '\n';
        } else if (NativeHostInstaller::uninstall(target)) {
            std::cout << "Removed " << ardenax::toUtf8(target.manifest.u16string()) << '\n';
        } else {
            std::cout << "Nothing to remove: " << ardenax::toUtf8(target.manifest.u16string())
                      << " does not exist\n";
        }
    }
    return 0;
}

// The voting origins, or those of ARDENAX_ALLOWED_ORIGINS where this build
// reads it; a list that is not one is ignored.
ardenax::host::OriginPolicy allowedOrigins(ardenax::app::Settings& settings) {
    using ardenax::host::OriginPolicy;
    try {
        return OriginPolicy::votingOrigins(settings.variable("ARDENAX_ALLOWED_ORIGINS"));
    } catch (const ardenax::Failure& failure) {
        settings.ignore("ARDENAX_ALLOWED_ORIGINS", ardenax::toUtf8(failure.description()));
        return OriginPolicy::votingOrigins("");
    }
}

// What earlier controls left in the store when they ended without their
// session's end (a crash) goes before a new control starts; a store that
// cannot be cleaned stops nothing.
void leaveNothingBehind(const std::filesystem::path& storeRoot) {
    using ardenax::X509Manager;
    try {
        X509Manager::purgeLeftBehind(storeRoot, X509Manager::LeftBehindAfter);
    } catch (const ardenax::Failure& failure) {
        std::cerr << "ardenax-host: the certificates left behind could not be removed: "
                  << ardenax::toUtf8(failure.description()) << '\n';
    }
}

int serve(const Command& command, ardenax::app::Settings& settings) {
    using namespace ardenax;
    host::HostSystem::useBinaryStandardStreams();
    host::JsonLinesChannel lines(std::cin, std::cout);
    host::NativeMessagingChannel native(std::cin, std::cout);
    host::Channel& channel = command.jsonLines ? static_cast<host::Channel&>(lines) : native;
    host::HostSession session(channel, command.options, std::cerr);
    const auto origins = allowedOrigins(settings);
    for (const auto& line : settings.ignored()) {
        std::cerr << "ardenax-host: " << line << '\n';
    }
    // What the host needs is checked before the page is answered, so that any
    // failure to start is the answer to its opening.
    std::optional<Environment> environment;
    std::optional<Failure> cannotStart;
    try {
        settings.checkCaFile();
        environment = settings.environment(session.messageBox());
    } catch (const Failure& failure) {
        cannotStart = failure;
    }
    // A refused page gets no control at all, not even the reset that
    // creating one runs.
    if (!command.jsonLines && !session.admit(origins, cannotStart)) {
        return cannotStart ? 1 : 3;
    }
    if (cannotStart) {
        session.refuse(*cannotStart);
        return 1;
    }
    leaveNothingBehind(environment->storeRoot);
    std::optional<VotingX> control;
    try {
        control.emplace(std::move(*environment));
    } catch (const Failure& failure) {
        session.refuse(failure);
        return 1;
    }
    return session.run(*control);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace ardenax;
    try {
        Command command;
        auto settings = app::Settings::fromProcess();
        if (const auto exit = parse({argv + 1, argv + argc}, command, settings)) {
            return *exit;
        }
        if (command.action != Command::Action::Serve) {
            return installOrUninstall(command);
        }
        return serve(command, settings);
    } catch (const Failure& failure) {
        std::cerr << "ardenax-host: " << toUtf8(failure.description()) << '\n';
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "ardenax-host: internal error: " << error.what() << '\n';
        return 1;
    }
}
