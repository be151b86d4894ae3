#include <fstream>
#include <iterator>

#include "OperatorCommands.h"
#include "Passphrase.h"
#include "common/Arguments.h"
#include "common/SystemDefaults.h"
#include "server/ElectionFiles.h"
#include "server/SqliteElectionStore.h"
#include "support/Failure.h"

namespace ardenax::app {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    R"(usage: ardenax election new --cards CARDS.json --voters VOTERS.csv --out DIR
                            [--passphrase-file FILE]

Makes an election: DIR/election.db, for the servers (the cards, the voters
with their passwords hashed, the election's certificate), and
DIR/election-key.pem, for the election's key holders alone (mode 0600; the
certificate, then the private key, encrypted with the passphrase when one is
given). No server is ever given the key: only the tally and open-vote need it.
  --cards FILE            {"id": "...", "potency": "1", "cards": [{"name": "...",
                          "slots": 1, "candidates": ["...", ...]}, ...]}
  --voters FILE           one voter a line: login,password,display name
  --out DIR               made if need be; must not hold an election already
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
                                  {"--cards", "--voters", "--out", "--passphrase-file"},
                                  {"--cards", "--voters", "--out"});
        if (values.count("--help") != 0) {
            out << kUsage;
            return 0;
        }
        passphrase = passphraseOf(values);
    } catch (const UsageError& error) {
        return Arguments::refuse(err, "ardenax election", error);
    }
    try {
        auto setup = server::readCards(readText(values["--cards"]), values["--cards"]);
        setup.voters = server::readVoters(readText(values["--voters"]), values["--voters"]);
        const fs::path folder = utf8Path(values["--out"]);
        fs::create_directories(folder);
        const auto database = folder / "election.db";
        const auto key = server::SqliteElectionStore::keyFileOf(database);
        server::SqliteElectionStore::create(database, setup, key, passphrase);
        out << "Election " << setup.id << ": " << setup.cards.size()
            << (setup.cards.size() == 1 ? " card, " : " cards, ") << setup.voters.size()
            << (setup.voters.size() == 1 ? " voter\n" : " voters\n")
            << "Database: " << database.string() << "  (for the servers)\n"
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
