#include "ServeCommand.h"

#include <csignal>
#include <filesystem>
#include <map>

#include "server/ReferenceServer.h"
#include "support/Failure.h"

namespace ardenax::app {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage = R"(usage: ardenax serve [options]

Runs the reference Promotor and SMV over HTTPS, with the voting page, until
Ctrl-C (SIGINT) or SIGTERM.
  --address ADDR      address to listen on                  (127.0.0.1)
  --port N            port, 0 for any free one               (8443)
  --db FILE           election database, made with the demo election when new
                                                             (ardenax-election.db)
  --ca-file FILE      where to write the throwaway authority's certificate for
                      clients to trust (ARDENAX_CA_FILE)     (beside the database)
  --cert FILE --key FILE   serve with this certificate and key instead
  --web-root DIR      the voting page's folder, served at /  (the built-in page)
  --refuse-votes      the SMV refuses every vote ("ERROR votes are closed"), to try
                      how a page shows a refusal
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
    bool refuseVotes = false;
};

// Reads `args`; nullopt after printing why they are not usable.
std::optional<ServeOptions> parse(const std::vector<std::string>& args, std::ostream& err) {
    std::map<std::string, std::string> values = {{"--address", "127.0.0.1"},
                                                 {"--port", "8443"},
                                                 {"--db", "ardenax-election.db"},
                                                 {"--web-root", defaultWebRoot().string()},
                                                 {"--ca-file", ""},
                                                 {"--cert", ""},
                                                 {"--key", ""}};
    ServeOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--refuse-votes") {
            options.refuseVotes = true;
        } else if (values.contains(args[i]) && i + 1 < args.size()) {
            values[args[i]] = args[i + 1];
            ++i;
        } else {
            err << "ardenax serve: unexpected " << args[i] << '\n' << kUsage;
            return std::nullopt;
        }
    }
    const std::string& port = values["--port"];
    if (port.empty() || port.find_first_not_of("0123456789") != std::string::npos ||
        port.size() > 5 || std::stoi(port) > 65535) {
        err << "ardenax serve: --port wants a number from 0 to 65535\n";
        return std::nullopt;
    }
    options.server.address = values["--address"];
    options.server.port = std::stoi(port);
    options.server.database = values["--db"];
    options.server.certificateFile = values["--cert"];
    options.server.keyFile = values["--key"];
    options.server.webRoot = values["--web-root"];
    options.caFile = values["--ca-file"].empty()
                         ? fs::absolute(options.server.database).parent_path() / "ardenax-ca.pem"
                         : fs::path(values["--ca-file"]);
    return options;
}

// Blocks SIGINT and SIGTERM in this thread and the server threads it starts,
// so that they arrive only where serve waits for them.
sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

void printReady(const server::ReferenceServer& server, const ServeOptions& options,
                server::ElectionDatabase& database, std::ostream& out) {
    out << "Page: " << server.baseUrl() << "/\n"
        << "Promotor: " << server.promotorUrl() << '\n'
        << "SMV: " << server.smvUrl() << '\n';
    if (!server.caPem().empty()) {
        out << "CA file: " << fs::absolute(options.caFile).string() << '\n';
    }
    out << "Database: " << fs::absolute(options.server.database).string() << '\n';
    const auto demo = server::ElectionDatabase::demoSetup();
    if (database.election().id == demo.id) {
        for (const auto& voter : demo.voters) {
            out << "Demo voter: " << voter.credentials() << " (" << voter.displayName << ")\n";
        }
    }
    out << "Ready." << std::endl;
}

}  // namespace

int runServeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args[0] == "--help") {
        out << kUsage;
        return 0;
    }
    const auto options = parse(args, err);
    if (!options) {
        return 2;
    }
    const sigset_t signals = stopSignals();
    server::ReferenceServer server(options->server);
    if (!server.caPem().empty()) {
        server.writeCaFile(options->caFile);
    }
    if (options->refuseVotes) {
        server.scriptAnswer(server::ReferenceServer::SmvPath, "ERROR votes are closed");
    }
    printReady(server, *options, server.database(), out);
    int received = 0;
    sigwait(&signals, &received);
    server.stop();
    out << "Stopped." << std::endl;
    return 0;
}

}  // namespace ardenax::app
