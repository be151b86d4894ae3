#include <functional>
#include <sstream>

#include <gtest/gtest.h>

#include "DemoCommand.h"
#include "OpenVoteCommand.h"
#include "OperatorCommands.h"
#include "ServeCommand.h"
#include "StoreCommand.h"
#include "Terminal.h"
#include "common/Settings.h"
#include "integration/ChildProcess.h"

namespace ardenax::app {
namespace {

using Command = std::function<int(const std::vector<std::string>&, std::ostream&)>;

// A usage error is exit status 2 and one line on standard error that says
// what is wrong and where the help is, without the help itself.
TEST(Usage, OneLineAndThePointerToTheHelp) {
    Settings settings{Settings::Variables{}};
    std::istringstream noInput;
    std::ostringstream out;
    Terminal terminal(out, false);
    const Command serve = [&](const auto& args, std::ostream& err) {
        return runServeCommand(args, out, err);
    };
    const Command demo = [&](const auto& args, std::ostream& err) {
        return runDemoCommand(args, terminal, err);
    };
    const Command store = [&](const auto& args, std::ostream& err) {
        return runStoreCommand(args, settings, out, err);
    };
    const Command openVote = [&](const auto& args, std::ostream& err) {
        return runOpenVoteCommand(args, noInput, out, err);
    };
    const Command tally = [&](const auto& args, std::ostream& err) {
        return runTallyCommand(args, out, err);
    };
    const Command election = [&](const auto& args, std::ostream& err) {
        return runElectionCommand(args, out, err);
    };
    const Command exportVotes = [&](const auto& args, std::ostream& err) {
        return runExportCommand(args, out, err);
    };
    const std::vector<std::tuple<Command, std::vector<std::string>, std::string>> cases = {
        {serve, {"--port"}, "ardenax serve: --port needs a value (see ardenax serve --help)\n"},
        {serve,
         {"--port", "70000"},
         "ardenax serve: --port wants a number from 0 to 65535, not \"70000\" (see ardenax serve "
         "--help)\n"},
        {serve,
         {"--colour"},
         "ardenax serve: unknown option --colour (see ardenax serve --help)\n"},
        {serve, {"--", "x"}, "ardenax serve: unknown option -- (see ardenax serve --help)\n"},
        {serve,
         {"--slow-votes", "10"},
         "ardenax serve: --slow-votes wants a number of seconds from 1 to 5, not \"10\" (see "
         "ardenax serve --help)\n"},
        {serve,
         {"--cert", "c.pem"},
         "ardenax serve: --cert needs its --key (see ardenax serve --help)\n"},
        {serve,
         {"--key", "k.pem"},
         "ardenax serve: --key needs its --cert (see ardenax serve --help)\n"},
        {serve,
         {"--browser", "firefox"},
         "ardenax serve: --browser drives chromium or chrome, not \"firefox\" (see ardenax serve "
         "--help)\n"},
        {demo, {"--keep"}, "ardenax demo: --keep needs a value (see ardenax demo --help)\n"},
        {store, {}, "ardenax store: give list or purge (see ardenax store --help)\n"},
        {store, {"shred"}, "ardenax store: unknown command shred (see ardenax store --help)\n"},
        {store,
         {"purge", "--older-than", "soon"},
         "ardenax store: --older-than wants whole minutes, not \"soon\" (see ardenax store "
         "--help)\n"},
        {openVote,
         {"vote.txt"},
         "ardenax open-vote: give the election's key with --election-key FILE (see ardenax "
         "open-vote --help)\n"},
        {openVote,
         {"--election-key", "election-key.pem"},
         "ardenax open-vote: which vote? give its file, or - for standard input (see ardenax "
         "open-vote --help)\n"},
        {tally,
         {"--db", "election.db"},
         "ardenax tally: --election-key is needed (see ardenax tally --help)\n"},
        {election,
         {"new", "--cards", "c.json", "--out", "x"},
         "ardenax election: --voters is needed (see ardenax election --help)\n"},
        {election,
         {"new", "--cards", "c.json", "--voters", "v.csv", "--out", "x", "--db", "x/e.db"},
         "ardenax election: --db wants a postgresql:// URI; the file is DIR/election.db (see "
         "ardenax election --help)\n"},
        {election,
         {"old"},
         "ardenax election: unknown command old (see ardenax election --help)\n"},
        {exportVotes,
         {"--db", "election.db", "--out"},
         "ardenax export: --out needs a value (see ardenax export --help)\n"},
    };
    for (const auto& [command, args, expected] : cases) {
        std::ostringstream err;
        EXPECT_EQ(command(args, err), 2) << expected;
        EXPECT_EQ(err.str(), expected);
    }
    EXPECT_EQ(out.str(), "");
}

// The host is started by browsers with arguments of their own, so its
// command line is read apart from the others'; it refuses in the same way.
TEST(Usage, TheHostNamesAnOptionItDoesNotKnow) {
    for (const auto& [arg, expected] : std::vector<std::pair<std::string, std::string>>{
             {"--bogus", "ardenax-host: unknown option --bogus (see ardenax-host --help)"},
             {"--timeout-s",
              "ardenax-host: --timeout-s needs a value (see ardenax-host --help)"}}) {
        testing::ChildProcess host(ARDENAX_HOST_PROGRAM, {arg}, {.errorsToOutput = true});
        EXPECT_EQ(host.readLine(), expected);
        EXPECT_EQ(host.readLine(), std::nullopt);
        EXPECT_EQ(host.wait(), 2) << arg;
    }
}

}  // namespace
}  // namespace ardenax::app
