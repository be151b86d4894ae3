#include "OpenVoteCommand.h"

#include <fstream>
#include <iterator>
#include <optional>

#include "Passphrase.h"
#include "common/Arguments.h"
#include "server/ElectionKey.h"
#include "server/OpenVote.h"
#include "support/Failure.h"

namespace ardenax::app {
namespace {

constexpr const char* kUsage =
    R"(usage: ardenax open-vote --election-key FILE [--passphrase-file FILE] VOTE_FILE|-

Verifies the signature of a vote as the SMV received it (Base64 text, as
`ardenax export` writes it), opens its envelope with the election's key and
shows the signer and the vote.
  --election-key FILE     the election's key, as `ardenax election new` made it
  --passphrase-file FILE  the key's passphrase, on the file's first line
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
    std::string keyFile;
    std::string passphraseFile;
    std::string voteFile;
    std::string passphrase;
    try {
        Arguments arguments(args);
        while (!arguments.done()) {
            const std::string arg = arguments.next();
            if (arg == "--help") {
                out << kUsage;
                return 0;
            }
            if (arg == "--election-key") {
                keyFile = arguments.valueOf(arg);
            } else if (arg == "--passphrase-file") {
                passphraseFile = arguments.valueOf(arg);
            } else if (voteFile.empty() && (arg == "-" || !arg.starts_with("--"))) {
                voteFile = arg;
            } else {
                throw UsageError("unexpected " + arg);
            }
        }
        if (keyFile.empty()) {
            throw UsageError("give the election's key with --election-key FILE");
        }
        if (voteFile.empty()) {
            throw UsageError("which vote? give its file, or - for standard input");
        }
        if (!passphraseFile.empty()) {
            passphrase = readPassphraseFile(passphraseFile);
        }
    } catch (const UsageError& error) {
        return Arguments::refuse(err, "ardenax open-vote", error);
    }
    const auto vote = voteFile == "-" ? std::optional(readAll(in)) : readFile(voteFile);
    if (!vote) {
        err << "ardenax open-vote: cannot read " << voteFile << '\n';
        return 2;
    }
    const auto election = server::readElectionKey(keyFile, passphrase);
    const auto opened = server::openVote(*vote, election);
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
