#include <fstream>
#include <iterator>

#include "OperatorCommands.h"
#include "Passphrase.h"
#include "common/Arguments.h"
#include "common/SystemDefaults.h"
#include "server/ElectionDatabase.h"
#include "server/ElectionFiles.h"
#include "server/SqliteElectionStore.h"
#include "support/Failure.h"

namespace ardenax::app {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    R"(usage: ardenax election new --cards CARDS.json --voters VOTERS.csv --out DIR
                            [--db postgresql://...] [--passphrase-file FILE]

Makes an election: DIR/election.db, for the servers (the cards, the voters
with their passwords hashed, the election's certificate), and
DIR/election-key.pem, for the election's key holders alone (mode 0600; the
certificate, then the private key, encrypted with the passphrase when one is
given). No server is ever given the key: only the tally and open-vote need it.
  --cards FILE            {"id": "...", "potency": "1", "cards": [{"name": "...",
                          "slots": 1, "candidates": ["...", ...]}, ...]}
  --voters FILE           one voter a line: login,password,display name
  --out DIR               made if need be; must not hold an election already
  --db postgresql://USER@HOST:PORT/NAME
                          make the election in this PostgreSQL database (also
                          postgres://), which must hold none, instead of
                          DIR/election.db; the key still goes to DIR
  --passphrase-file FILE  the key's passphrase, on the file's first line
)";

std::string readText(const std::string& file) {
    std::ifstream in(utf8Path(file), std::ios::binary);
    if (!in.is_open()) {
        throw Failure(Failure::E_Fail, fromUtf8("cannot read " + file), u"ardenax");
    }
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

int runElectionCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::map<std::string, std::string> values;
    std::string passphrase;
    try {
        if (args.empty() || (args[0] != "new" && args[0] != "--help")) {
            throw UsageError(args.empty() ? "give new" : "unknown command " + args[0]);
        }
        values = Arguments::flags({args.begin() + (args[0] == "new" ? 1 : 0), args.end()},
                                  {"--cards", "--voters", "--out", "--db", "--passphrase-file"},
                                  {"--cards", "--voters", "--out"});
        if (values.count("--help") != 0) {
            out << kUsage;
            return 0;
        }
        passphrase = passphraseOf(values);
        if (values.count("--db") != 0 && !server::isDatabaseUri(values["--db"])) {
            throw UsageError("--db wants a postgresql:// URI; the file is DIR/election.db");
        }
    } catch (const UsageError& error) {
        return Arguments::refuse(err, "ardenax election", error);
    }
    try {
        auto setup = server::readCards(readText(values["--cards"]), values["--cards"]);
        setup.voters = server::readVoters(readText(values["--voters"]), values["--voters"]);
        const fs::path folder = utf8Path(values["--out"]);
        fs::create_directories(folder);
        const auto file = folder / "election.db";
        const auto key = server::SqliteElectionStore::keyFileOf(file);
        const std::string database = values.count("--db") != 0 ? values["--db"] : file.string();
        server::createElection(database, setup, key, passphrase);
        out << "Election " << setup.id << ": " << setup.cards.size()
            << (setup.cards.size() == 1 ? " card, " : " cards, ") << setup.voters.size()
            << (setup.voters.size() == 1 ? " voter\n" : " voters\n")
            << "Database: " << server::shownDatabase(database) << "  (for the servers)\n"
            << "Election key: " << key.string()
            << (passphrase.empty() ? "" : "  (encrypted with the passphrase)")
            << "\n  Keep it offline, with the election's key holders: the tally needs it, no "
               "server does.\n";
        return 0;
    } catch (const Failure& failure) {
        err << "ardenax election: " << toUtf8(failure.description()) << '\n';
        return 1;
    }
}

}  // namespace ardenax::app
