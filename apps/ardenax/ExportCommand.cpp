#include <nlohmann/json.hpp>

#include "OperatorCommands.h"
#include "common/Arguments.h"
#include "common/SystemDefaults.h"
#include "server/ElectionDatabase.h"
#include "server/SealedVote.h"
#include "support/Failure.h"
#include "support/StagedFile.h"

namespace ardenax::app {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage = R"(usage: ardenax export --db FILE|URI --out DIR

Writes every vote the SMV stored, for auditors: DIR/votes/<n>.vote, the signed
vote as it was received (`ardenax open-vote` takes it), and DIR/manifest.json
with each vote's number, arrival time, verdict and receipt (the SHA-256 digest
of the signed vote, as the voter's receipt has it). Neither names a voter or a
token. --db names the election's database file, or its PostgreSQL database by
a postgresql:// (or postgres://) URI.
)";

}  // namespace

int runExportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::map<std::string, std::string> values;
    try {
        values = Arguments::flags(args, {"--db", "--out"}, {"--db", "--out"});
        if (values.count("--help") != 0) {
            out << kUsage;
            return 0;
        }
    } catch (const UsageError& error) {
        return Arguments::refuse(err, "ardenax export", error);
    }
    try {
        const auto store = server::openElectionStore(values["--db"]);
        const fs::path folder = utf8Path(values["--out"]);
        fs::create_directories(folder / "votes");
        nlohmann::json manifest = nlohmann::json::array();
        for (const auto& entry : store->votes()) {
            StagedFile(folder / "votes", entry.vote, StagedFile::Readers::Everyone)
                .replace(folder / "votes" / (std::to_string(entry.id) + ".vote"));
            manifest.push_back({{"index", entry.id},
                                {"receivedAt", entry.receivedAt},
                                {"verdict", entry.verdict},
                                {"receipt", server::receiptOf(entry.vote)}});
        }
        StagedFile(folder, manifest.dump(2) + "\n", StagedFile::Readers::Everyone)
            .replace(folder / "manifest.json");
        out << "Exported " << manifest.size() << (manifest.size() == 1 ? " vote" : " votes")
            << " to " << folder.string() << '\n';
        return 0;
    } catch (const std::exception& error) {
        err << "ardenax export: " << toUtf8(Failure::from(error).description()) << '\n';
        return 1;
    }
}

}  // namespace ardenax::app
