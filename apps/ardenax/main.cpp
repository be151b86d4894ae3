// ardenax: the command line of the voting component.
#include <iostream>
#include <string>
#include <vector>

#include "DemoCommand.h"
#include "OpenVoteCommand.h"
#include "OperatorCommands.h"
#include "ServeCommand.h"
#include "StoreCommand.h"
#include "Terminal.h"
#include "VerifyCommands.h"
#include "common/Arguments.h"
#include "common/Settings.h"
#include "control/VotingX.h"
#include "support/Failure.h"
#include "support/Version.h"

namespace {

constexpr const char* kUsage = R"(usage: ardenax <command> [options]

Commands:
  demo                 one voter's whole road against reference servers started for it
  serve                the reference servers and the voting page: page developers,
                       and an election's Promotor and SMV (--role)
  election new         an election from its cards and voter list, and its key
  tally                count an election offline, with its key
  export               every stored vote and a manifest, for auditors
  open-vote            verify and open a stored vote, with the election's key
  verify-receipt       check that a vote's receipt is on the election's bulletin board
  verify-board         check every entry of the bulletin board against its signed head
  store list|purge     the certificates of the user's request store

ardenax <command> --help tells more. ardenax --version prints the version.
)";

}  // namespace

int main(int argc, char** argv) {
    using namespace ardenax;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return app::Arguments::refuse(std::cerr, "ardenax", app::UsageError("no command given"));
    }
    try {
        auto settings = app::Settings::fromProcess();
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (args[0] == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (args[0] == "--version") {
            std::cout << ProductVersionUtf8 << '\n';
            return 0;
        }
        if (args[0] == "demo") {
            app::Terminal terminal(std::cout, app::Terminal::stdoutIsColourTerminal());
            return app::runDemoCommand(rest, terminal, std::cerr);
        }
        if (args[0] == "open-vote") {
            return app::runOpenVoteCommand(rest, std::cin, std::cout, std::cerr);
        }
        if (args[0] == "election") {
            return app::runElectionCommand(rest, std::cout, std::cerr);
        }
        if (args[0] == "tally") {
            return app::runTallyCommand(rest, std::cout, std::cerr);
        }
        if (args[0] == "export") {
            return app::runExportCommand(rest, std::cout, std::cerr);
        }
        if (args[0] == "verify-receipt") {
            return app::runVerifyReceiptCommand(rest, settings, std::cout, std::cerr);
        }
        if (args[0] == "verify-board") {
            return app::runVerifyBoardCommand(rest, settings, std::cout, std::cerr);
        }
        if (args[0] == "serve") {
            return app::runServeCommand(rest, std::cout, std::cerr);
        }
        if (args[0] == "store") {
            for (const auto& line : settings.ignored()) {
                std::cerr << "ardenax: " << line << '\n';
            }
            return app::runStoreCommand(rest, settings, std::cout, std::cerr);
        }
        return app::Arguments::refuse(std::cerr, "ardenax",
                                      app::UsageError("unknown command " + args[0]));
    } catch (const Failure& failure) {
        std::cerr << "ardenax: " << toUtf8(failure.description()) << '\n';
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "ardenax: internal error: " << error.what() << '\n';
        return 1;
    }
}
