#include "ServeCommand.h"

#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <poll.h>

#include "BrowserSession.h"
#include "StopSignals.h"
#include "common/Arguments.h"
#include "server/ElectionDatabase.h"
#include "server/ReferenceServer.h"
#include "server/SqliteElectionStore.h"
#include "support/Failure.h"

namespace ardenax::app {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    R"(usage: ardenax serve [options] [--browser [chromium|chrome] [-- BROWSER-ARGS]]

Runs the reference Promotor and SMV over HTTPS, with the voting page, until
Ctrl-C (SIGINT) or SIGTERM. The servers hold no election key and open no vote.
  --role ROLE         promotor (with the page), smv, or all  (all); processes of
                      different roles may share one database
  --address ADDR      address to listen on                  (127.0.0.1)
  --name HOST         the name voters reach it by, for its URLs and its
                      throwaway certificate                  (the address)
  --port N            port, 0 for any free one               (8443)
  --db FILE           election database, made with the demo election when new,
                      the demo's key beside it               (ardenax-election.db)
  --db postgresql://USER@HOST:PORT/NAME
                      or a PostgreSQL database that `ardenax election new` made
                      an election in (also postgres://); any number of servers
                      of any role may share it. An SMV then needs --board-key
  --ca-file FILE      where to write the throwaway authority's certificate for
                      clients to trust (ARDENAX_CA_FILE)
                                          (beside the database file, else here)
  --cert FILE --key FILE   serve with this certificate and key instead
  --board-key FILE    the key the SMV signs the bulletin board's heads with, made
                      when missing; its certificate is written beside it
                                          (beside the database, <name>-board-key.pem)
  --web-root DIR      the voting page's folder, served at /  (the built-in page)
  --refuse-votes      the SMV refuses every vote ("ERROR votes are closed"), to try
                      how a page shows a refusal
  --slow-votes S      the SMV takes S seconds (1 to 5) to answer each vote, as a
                      loaded vote server does, to try how a page waits
  --browser [NAME]    also start chromium (the default) or chrome with a throwaway
                      profile, the extension loaded and the host pointed at these
                      servers, at the page; serve stops when the browser ends,
                      with status 1 and the browser's last lines when it failed.
                      As root, the browser runs without its sandbox.
                      Arguments after -- go to the browser.
)";

// The installed page beside the installed program, else the build's.
fs::path defaultWebRoot() {
    std::error_code error;
    const auto program = fs::read_symlink("/proc/self/exe", error);
    const auto installed = program.parent_path().parent_path() / "share" / "ardenax" / "page";
    return !error && fs::is_directory(installed, error) ? installed : fs::path(ARDENAX_WEB_ROOT);
}

struct ServeOptions {
    server::ReferenceServer::Options server;
    fs::path caFile;
    std::string browser;  // empty: none
    std::vector<std::string> browserArguments;
};

int portOf(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 5 || std::stoi(text) > 65535) {
        throw UsageError("--port wants a number from 0 to 65535, not \"" + text + "\"");
    }
    return std::stoi(text);
}

std::chrono::seconds secondsOf(const std::string& text) {
    // Within the connection's deadline, which would cut a longer answer off.
    if (text.size() != 1 || text[0] < '1' || text[0] > '5') {
        throw UsageError("--slow-votes wants a number of seconds from 1 to 5, not \"" + text +
                         "\"");
    }
    return std::chrono::seconds(text[0] - '0');
}

// The browser --browser names; chromium when no name follows it.
std::string browserOf(Arguments& arguments) {
    const std::string name = arguments.peek();
    if (name.empty() || name.starts_with("-")) {
        return "chromium";
    }
    if (name != "chromium" && name != "chrome") {
        throw UsageError("--browser drives chromium or chrome, not \"" + name + "\"");
    }
    return arguments.next();
}

// Reads `args`; raises a UsageError when they are not usable.
ServeOptions parse(const std::vector<std::string>& args) {
    std::map<std::string, std::string> values = {{"--address", "127.0.0.1"},
                                                 {"--port", "8443"},
                                                 {"--role", "all"},
                                                 {"--name", ""},
                                                 {"--db", "ardenax-election.db"},
                                                 {"--web-root", defaultWebRoot().string()},
                                                 {"--ca-file", ""},
                                                 {"--cert", ""},
                                                 {"--key", ""},
                                                 {"--board-key", ""}};
    ServeOptions options;
    Arguments arguments(args);
    while (!arguments.done()) {
        const std::string arg = arguments.next();
        if (arg == "--refuse-votes") {
            options.server.votesClosed = true;
        } else if (arg == "--slow-votes") {
            options.server.voteDelay = secondsOf(arguments.valueOf(arg));
        } else if (arg == "--browser") {
            options.browser = browserOf(arguments);
        } else if (arg == "--" && !options.browser.empty()) {
            while (!arguments.done()) {
                options.browserArguments.push_back(arguments.next());
            }
        } else if (values.contains(arg)) {
            values[arg] = arguments.valueOf(arg);
        } else {
            throw UsageError("unknown option " + arg);
        }
    }
    if (values["--cert"].empty() != values["--key"].empty()) {
        throw UsageError(values["--cert"].empty() ? "--key needs its --cert"
                                                  : "--cert needs its --key");
    }
    const auto& role = values["--role"];
    if (role != "all" && role != "promotor" && role != "smv") {
        throw UsageError("--role wants promotor, smv or all, not \"" + role + "\"");
    }
    options.server.role = role == "promotor" ? server::ReferenceServer::Role::Promotor
                          : role == "smv"    ? server::ReferenceServer::Role::Smv
                                             : server::ReferenceServer::Role::All;
    options.server.name = values["--name"];
    options.server.address = values["--address"];
    options.server.port = portOf(values["--port"]);
    options.server.database = values["--db"];
    options.server.certificateFile = values["--cert"];
    options.server.keyFile = values["--key"];
    options.server.webRoot = values["--web-root"];
    options.server.boardKeyFile = values["--board-key"];
    options.caFile = !values["--ca-file"].empty() ? fs::path(values["--ca-file"])
                     : server::isDatabaseUri(options.server.database)
                         ? fs::path("ardenax-ca.pem")
                         : fs::absolute(options.server.database).parent_path() / "ardenax-ca.pem";
    return options;
}

std::unique_ptr<BrowserSession> startBrowser(const server::ReferenceServer& server,
                                             const ServeOptions& options, std::ostream& out,
                                             std::ostream& err) {
    BrowserSession::Options browser{.browser = options.browser,
                                    .page = server.baseUrl() + "/",
                                    .hostSettings = {{"ARDENAX_PROMOTOR_URL", server.promotorUrl()},
                                                     {"ARDENAX_SMV_URL", server.smvUrl()}},
                                    .acceptedKeyPin = server.publicKeyPin(),
                                    .extraArguments = options.browserArguments};
    if (!server.caPem().empty()) {
        browser.hostSettings.emplace("ARDENAX_CA_FILE", fs::absolute(options.caFile).string());
    }
    auto session = std::make_unique<BrowserSession>(browser);
    if (session->unsandboxed()) {
        err << "ardenax serve: running as root, so " << options.browser
            << " runs without its sandbox (--no-sandbox); run serve as another user to keep it\n";
    }
    out << "Browser: " << session->program() << " (profile " << session->profile().string()
        << ")\n";
    return session;
}

// Where the demo election's key is and who may vote in it, when `database`
// holds the demo election.
void printDemo(const fs::path& database, const server::ElectionStore& store, std::ostream& out) {
    const auto demo = server::SqliteElectionStore::demoSetup();
    if (store.election().id != demo.id) {
        return;
    }
    out << "Demo election key: "
        << fs::absolute(server::SqliteElectionStore::keyFileOf(database)).string()
        << " (the tally's; no server reads it)\n";
    for (const auto& voter : demo.voters) {
        out << "Demo voter: " << voter.credentials() << " (" << voter.displayName << ")\n";
    }
}

void printReady(const server::ReferenceServer& server, const ServeOptions& options,
                const server::ElectionStore& store, std::ostream& out) {
    using Role = server::ReferenceServer::Role;
    if (options.server.role != Role::Smv) {
        out << "Page: " << server.baseUrl() << "/\n"
            << "Promotor: " << server.promotorUrl() << '\n';
    }
    if (options.server.role != Role::Promotor) {
        out << "SMV: " << server.smvUrl() << '\n'
            << "Board: " << server.baseUrl() << "/smv/board/head\n"
            << "Board certificate: " << fs::absolute(server.boardCertificateFile()).string()
            << '\n';
    }
    if (!server.caPem().empty()) {
        out << "CA file: " << fs::absolute(options.caFile).string() << '\n';
    }
    const auto& database = options.server.database;
    if (server::isDatabaseUri(database)) {
        out << "Database: " << server::shownDatabase(database) << '\n';
    } else {
        out << "Database: " << fs::absolute(database).string() << '\n';
        printDemo(database, store, out);
    }
    out << "Ready." << std::endl;
}

// Tells that the browser has ended, and why when it failed; serve's exit status.
int browserEnded(BrowserSession& browser, std::ostream& out, std::ostream& err) {
    browser.relayTheRest(err);
    out << "The browser has ended.\n";
    const auto failure = browser.failure();
    if (!failure) {
        return 0;
    }
    const auto lines = browser.lastLines();
    err << "ardenax serve: " << *failure << (lines.empty() ? "\n" : "; its last lines:\n");
    for (const auto& line : lines) {
        err << "  " << line << '\n';
    }
    return 1;
}

// Relays what the browser writes until SIGINT, SIGTERM or the browser's end;
// serve's exit status.
int serveUntilTheEnd(const StopSignals& signals, BrowserSession* browser, std::ostream& out,
                     std::ostream& err) {
    // poll() passes over a negative descriptor: no browser, or one that has
    // closed its output.
    std::array<pollfd, 2> watched{{{signals.descriptor(), POLLIN, 0},
                                   {browser != nullptr ? browser->output() : -1, POLLIN, 0}}};
    for (;;) {
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            continue;
        }
        if (browser != nullptr && watched[1].revents != 0 && !browser->relay(err)) {
            watched[1].fd = -1;
        }
        if ((watched[0].revents & POLLIN) == 0) {
            continue;
        }
        if (signals.next() != SIGCHLD) {
            return 0;
        }
        if (browser != nullptr && browser->ended()) {
            return browserEnded(*browser, out, err);
        }
    }
}

}  // namespace

int runServeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args[0] == "--help") {
        out << kUsage;
        return 0;
    }
    ServeOptions options;
    try {
        options = parse(args);
    } catch (const UsageError& error) {
        return Arguments::refuse(err, "ardenax serve", error);
    }
    const StopSignals signals;
    server::ReferenceServer server(options.server);
    if (!server.caPem().empty()) {
        server.writeCaFile(options.caFile);
    }
    const auto browser =
        options.browser.empty() ? nullptr : startBrowser(server, options, out, err);
    printReady(server, options, server.store(), out);
    const int status = serveUntilTheEnd(signals, browser.get(), out, err);
    server.stop();
    out << "Stopped." << std::endl;
    return status;
}

}  // namespace ardenax::app
