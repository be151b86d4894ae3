#include "OpenVoteCommand.h"

#include <fstream>
#include <iterator>
#include <optional>

#include "common/Arguments.h"
#include "crypto/toolkit/Certificate.h"
#include "server/ElectionDatabase.h"
#include "server/OpenVote.h"

namespace ardenax::app {
namespace {

constexpr const char* kUsage = R"(usage: ardenax open-vote (--db FILE | --key FILE) VOTE_FILE|-

Verifies the signature of a vote as the SMV received it (Base64 text), opens
its envelope with the election's key and shows the signer and the vote.
  --db FILE    take the election's certificate and key from its database
  --key FILE   take them from a PEM file: the certificate, then its private key
Exit status: 0 when the vote verifies and opens, 1 when it does not.
)";

std::string readAll(std::istream& in) {
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    return readAll(file);
}

}  // namespace

int runOpenVoteCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                       std::ostream& err) {
    std::string database;
    std::string keyFile;
    std::string voteFile;
    try {
        Arguments arguments(args);
        while (!arguments.done()) {
            const std::string arg = arguments.next();
            if (arg == "--help") {
                out << kUsage;
                return 0;
            }
            if (arg == "--db") {
                database = arguments.valueOf(arg);
            } else if (arg == "--key") {
                keyFile = arguments.valueOf(arg);
            } else if (voteFile.empty() && (arg == "-" || !arg.starts_with("--"))) {
                voteFile = arg;
            } else {
                throw UsageError("unexpected " + arg);
            }
        }
        if (database.empty() == keyFile.empty()) {
            throw UsageError("give the election's key with either --db FILE or --key FILE");
        }
        if (voteFile.empty()) {
            throw UsageError("which vote? give its file, or - for standard input");
        }
    } catch (const UsageError& error) {
        return Arguments::refuse(err, "ardenax open-vote", error);
    }
    const auto vote = voteFile == "-" ? std::optional(readAll(in)) : readFile(voteFile);
    const auto pem = keyFile.empty() ? std::optional<std::string>() : readFile(keyFile);
    if (!vote || (!keyFile.empty() && !pem)) {
        err << "ardenax open-vote: cannot read " << (!vote ? voteFile : keyFile) << '\n';
        return 2;
    }
    const auto election = keyFile.empty() ? server::ElectionDatabase(database).election().identity
                                          : std::make_shared<const toolkit::Certificate>(
                                                toolkit::Certificate::fromStorageForm(*pem));
    const auto opened = server::openVote(*vote, *election);
    if (!opened.signerSubject.empty()) {
        out << "Signer: " << opened.signerSubject << " (SHA-1 " << opened.signerThumbprint << ")\n";
    }
    if (!opened.xml.empty()) {
        out << opened.xml << '\n';
    }
    if (!opened.accepted()) {
        err << "ardenax open-vote: " << opened.refusal << '\n';
        return 1;
    }
    return 0;
}

}  // namespace ardenax::app
