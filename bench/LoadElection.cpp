#include "LoadElection.h"

#include <fstream>
#include <stdexcept>

#include "integration/ChildProcess.h"
#include "integration/ServeProcess.h"
#include "server/ClientVote.h"
#include "transport/HttpClient.h"

namespace ardenax::bench {
namespace {

namespace fs = std::filesystem;

std::string login(int voter) {
    return "eleitor" + std::to_string(voter);
}

std::string password(int voter) {
    return "senha" + std::to_string(voter);
}

}  // namespace

LoadElection::LoadElection(const fs::path& folder, std::optional<std::string> postgresUri,
                           int voters)
    : database_(postgresUri ? *postgresUri : (folder / "election" / "election.db").string()),
      postgres_(postgresUri.has_value()) {
    make(folder, voters);
    obtainTokens(folder, voters);
}

void LoadElection::make(const fs::path& folder, int voters) const {
    std::ofstream(folder / "cards.json") << R"({"id": "CARGA-2027", "potency": "1",
        "cards": [{"name": "Presidente", "slots": 1, "candidates": ["Ana", "Bruno"]},
                  {"name": "Lista", "slots": 2, "candidates": ["A", "B", "C"]}]})";
    std::ofstream list(folder / "voters.csv");
    list << "login,password,name\n";
    for (int voter = 1; voter <= voters; ++voter) {
        list << login(voter) << ',' << password(voter) << ",Eleitor " << voter << '\n';
    }
    list.close();
    std::vector<std::string> args = {"election", "new",
                                     "--cards",  (folder / "cards.json").string(),
                                     "--voters", (folder / "voters.csv").string(),
                                     "--out",    (folder / "election").string()};
    if (postgres_) {
        args.insert(args.end(), {"--db", database_});
    }
    testing::ChildProcess command(ARDENAX_PROGRAM, args, {.errorsToOutput = true});
    std::string printed;
    while (const auto line = command.readLine()) {
        printed += *line + "\n";
    }
    if (command.wait() != 0) {
        throw std::runtime_error("election new failed:\n" + printed);
    }
}

void LoadElection::obtainTokens(const fs::path& folder, int voters) {
    const auto caFile = folder / "promotor-ca.pem";
    const testing::ServeProcess promotor(
        {"--role", "promotor", "--db", database_, "--ca-file", caFile.string()});
    if (promotor.promotorUrl.empty()) {
        throw std::runtime_error("the Promotor did not start");
    }
    HttpSettings settings;
    settings.caFile = caFile;
    HttpClient client(settings);
    for (int voter = 1; voter <= voters; ++voter) {
        const auto answer = testing::answerFields(
            client.Post(testing::tokenForm(login(voter), password(voter)), promotor.promotorUrl));
        if (answer.size() != 6) {
            throw std::runtime_error("no token for " + login(voter));
        }
        tokens_.push_back(answer[2]);
        potency_ = answer[3];
        certificate_ = answer[4];
    }
}

}  // namespace ardenax::bench
