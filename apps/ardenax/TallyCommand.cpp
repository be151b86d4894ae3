#include <algorithm>
#include <iomanip>

#include "OperatorCommands.h"
#include "Passphrase.h"
#include "common/Arguments.h"
#include "common/SystemDefaults.h"
#include "server/ElectionDatabase.h"
#include "server/ElectionKey.h"
#include "server/Tally.h"
#include "support/Failure.h"
#include "support/StagedFile.h"

namespace ardenax::app {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    R"(usage: ardenax tally --db FILE|URI --election-key FILE [--passphrase-file FILE]
                    [--out FILE]

Counts the election offline: takes each voter's last accepted vote, separates
each sealed envelope from its signature and voter, shuffles the envelopes with
a cryptographically random permutation before any is opened, then opens them
with the election's key and counts per card each candidate, blank and invalid
(a choice that is not a candidate of its card; every slot of a ballot that
does not open or is not a vote of this election). Prints the counts and writes
them as JSON; nothing in either ties a choice to a voter or to when it came.
  --db FILE               the election's database, as the servers left it
  --db postgresql://USER@HOST:PORT/NAME
                          or their PostgreSQL database (also postgres://)
  --election-key FILE     the election's key, as `ardenax election new` made it
  --passphrase-file FILE  the key's passphrase, on the file's first line
  --out FILE              where the JSON goes (tally.json beside the database
                          file, else here)
)";

// The characters a UTF-8 text shows, for columns that line up.
std::size_t shownWidth(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
    }));
}

void printTable(const server::TallyResult& result, std::ostream& out) {
    out << "Election " << result.election << ": " << result.ballots
        << (result.ballots == 1 ? " ballot" : " ballots") << ", " << result.invalidBallots
        << " unreadable\n";
    for (const auto& card : result.cards) {
        out << '\n'
            << card.card << " (" << card.slots << (card.slots == 1 ? " choice" : " choices")
            << ")\n";
        std::size_t width = shownWidth("(invalid)");
        for (const auto& [name, votes] : card.candidates) {
            width = std::max(width, shownWidth(name));
        }
        const auto row = [&out, width](const std::string& name, long votes) {
            out << "  " << name << std::string(width - shownWidth(name), ' ') << "  "
                << std::setw(8) << votes << '\n';
        };
        for (const auto& [name, votes] : card.candidates) {
            row(name, votes);
        }
        row("(blank)", card.blank);
        row("(invalid)", card.invalid);
    }
}

}  // namespace

int runTallyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::map<std::string, std::string> values;
    std::string passphrase;
    try {
        values = Arguments::flags(args, {"--db", "--election-key", "--passphrase-file", "--out"},
                                  {"--db", "--election-key"});
        if (values.count("--help") != 0) {
            out << kUsage;
            return 0;
        }
        passphrase = passphraseOf(values);
    } catch (const UsageError& error) {
        return Arguments::refuse(err, "ardenax tally", error);
    }
    const std::string& database = values["--db"];
    const fs::path json = values.count("--out") != 0 ? utf8Path(values["--out"])
                          : server::isDatabaseUri(database)
                              ? fs::path("tally.json")
                              : fs::absolute(utf8Path(database)).parent_path() / "tally.json";
    try {
        const auto key = server::readElectionKey(utf8Path(values["--election-key"]), passphrase);
        const auto store = server::openElectionStore(database);
        if (key.der() != store->election().certificate->der()) {
            throw Failure(Failure::E_Fail, u"The key is not this election's", u"ardenax");
        }
        const auto result = server::tally(server::countedEnvelopes(*store), store->election(), key);
        printTable(result, out);
        const auto folder = json.parent_path().empty() ? fs::path(".") : json.parent_path();
        StagedFile(folder, server::tallyJson(result) + "\n", StagedFile::Readers::Everyone)
            .replace(json);
        out << "\nWritten to " << json.string() << '\n';
        return 0;
    } catch (const Failure& failure) {
        err << "ardenax tally: " << toUtf8(failure.description()) << '\n';
        return 1;
    }
}

}  // namespace ardenax::app
