#include "VerifyCommands.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

#include "BoardClient.h"
#include "BoardMemory.h"
#include "common/Arguments.h"
#include "crypto/toolkit/Certificate.h"
#include "crypto/toolkit/Encoding.h"
#include "support/Failure.h"
#include "support/Text.h"

namespace ardenax::app {
namespace {

constexpr const char* kReceiptUsage = R"(usage: ardenax verify-receipt RECEIPT [options]

Checks that the vote of RECEIPT (the 43 characters the voting page showed) is
on the election's bulletin board: that the board's head is signed by the
board's key, that the board proves the receipt is among the entries under
that head, and that the board only grew since the last head this user's
verifiers saw (kept in ~/.local/share/ardenax/boards). Exits 0 when all hold,
1 with the reason when one does not.
)";

constexpr const char* kBoardUsage = R"(usage: ardenax verify-board [options]

Reads every entry of the election's bulletin board, recomputes the root of
their tree and checks it against the head the board's key signed, and
against the last head this user's verifiers saw (kept in
~/.local/share/ardenax/boards). Exits 0 when all hold, 1 with the reason when
one does not.
)";

constexpr const char* kOptions =
    R"(  --board URL               the board (https://<voting host>/smv/board, the
                            host of ARDENAX_SMV_URL)
  --board-certificate FILE  the certificate of the board's key, as the election
                            published it (else the one the board first showed)
  --ca-file FILE            a CA to trust besides the system's (ARDENAX_CA_FILE)
)";

// How many entries verify-board asks for at once (the board gives up to 10,000).
constexpr std::uint64_t EntriesPerRequest = 5000;

struct Verification {
    std::map<std::string, std::string> values;
    std::string receipt;
};

Verification parse(const std::vector<std::string>& args, bool wantsReceipt) {
    Verification verification;
    std::vector<std::string> flags = args;
    if (wantsReceipt && !args.empty() && args[0] != "--help") {
        verification.receipt = args[0];
        flags.erase(flags.begin());
    }
    verification.values =
        Arguments::flags(flags, {"--board", "--board-certificate", "--ca-file"}, {});
    if (wantsReceipt && verification.values.count("--help") == 0 &&
        !server::hashFromBase64Url(verification.receipt)) {
        throw UsageError("a receipt is 43 characters of A-Z, a-z, 0-9, - and _");
    }
    return verification;
}

// The board next to the SMV the votes go to: .../smv/votesetter -> .../smv/board.
std::string boardUrlOf(const std::string& smvUrl) {
    return smvUrl.substr(0, smvUrl.rfind('/')) + "/board";
}

std::string readFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) {
        throw BoardProblem("cannot read " + file);
    }
    return {std::istreambuf_iterator<char>(in), {}};
}

// A head the board's key signed, whose tree starts with that of the last
// head seen: never a board that shrank or rewrote what it had shown.
struct TrustedHead {
    std::string certificatePem;
    server::BoardHead head;
};

void checkGrowth(BoardClient& board, const server::BoardHead& last, const server::BoardHead& head) {
    const std::string since =
        " since the head signed at " + last.time + " (" + std::to_string(last.size) + " entries)";
    if (head.size < last.size) {
        throw BoardProblem("the board shrank to " + std::to_string(head.size) + " entries" + since);
    }
    const bool consistent =
        last.size == 0 || (head.size == last.size ? head.root == last.root
                                                  : merkle::verifyConsistency(
                                                        last.size, head.size, last.root, head.root,
                                                        board.consistency(last.size, head.size)));
    if (!consistent) {
        throw BoardProblem("the board rewrote its history" + since);
    }
}

TrustedHead trustedHead(BoardClient& board, const BoardMemory& memory,
                        const std::map<std::string, std::string>& values) {
    const auto file = values.find("--board-certificate");
    std::string pem = file != values.end()      ? readFile(file->second)
                      : memory.certificatePem() ? *memory.certificatePem()
                                                : board.certificatePem();
    std::optional<toolkit::Certificate> certificate;
    try {
        certificate = toolkit::Certificate::import(pem);
    } catch (const Failure&) {
        throw BoardProblem("the board's certificate does not read");
    }
    auto head = board.head();
    if (!head.verifiedBy(*certificate)) {
        throw BoardProblem("the board's head (" + std::to_string(head.size) + " entries, " +
                           head.time + ") is not signed by the board's key");
    }
    if (memory.lastHead()) {
        checkGrowth(board, *memory.lastHead(), head);
    }
    return {std::move(pem), std::move(head)};
}

using Check = std::string (*)(BoardClient&, const server::BoardHead&, const Verification&);

std::string receiptCheck(BoardClient& board, const server::BoardHead& head,
                         const Verification& verification) {
    const auto where = " of " + std::to_string(head.size) + ", head signed at " + head.time;
    const auto inclusion = board.proof(verification.receipt, head.size);
    if (!inclusion) {
        throw BoardProblem("the receipt is not on the board (" + std::to_string(head.size) +
                           " entries, head signed at " + head.time + ")");
    }
    const auto leaf = merkle::leafHash(toolkit::base64UrlDecode(verification.receipt));
    if (!merkle::verifyInclusion(leaf, inclusion->index, head.size, inclusion->path, head.root)) {
        throw BoardProblem("the board's proof for index " + std::to_string(inclusion->index) +
                           where + " is false");
    }
    return "included at index " + std::to_string(inclusion->index) + where;
}

std::string boardCheck(BoardClient& board, const server::BoardHead& head, const Verification&) {
    merkle::RootBuilder tree;
    while (tree.size() < head.size) {
        const auto start = tree.size();
        const auto end = std::min(head.size, start + EntriesPerRequest);
        const auto entries = board.entries(start, end);
        if (entries.size() != end - start) {
            throw BoardProblem("the board gives " + std::to_string(entries.size()) +
                               " entries from index " + std::to_string(start) +
                               " where its head has " + std::to_string(head.size));
        }
        for (const auto& entry : entries) {
            if (entry.index != tree.size()) {
                throw BoardProblem("the board's entry at index " + std::to_string(tree.size()) +
                                   " says it is at " + std::to_string(entry.index));
            }
            tree.add(merkle::leafHash(entry.receipt));
        }
    }
    if (tree.root() != head.root) {
        throw BoardProblem("the board's " + std::to_string(head.size) +
                           " entries do not give the root of its head signed at " + head.time);
    }
    return "all " + std::to_string(head.size) + " entries give the root of the head signed at " +
           head.time;
}

int verify(const std::vector<std::string>& args, Settings& settings, std::ostream& out,
           std::ostream& err, bool wantsReceipt, Check check) {
    const std::string command = wantsReceipt ? "ardenax verify-receipt" : "ardenax verify-board";
    Verification verification;
    try {
        verification = parse(args, wantsReceipt);
        if (verification.values.count("--ca-file") != 0) {
            settings.set("ca-file", verification.values["--ca-file"]);
            settings.checkCaFile();
        }
    } catch (const UsageError& error) {
        return Arguments::refuse(err, command, error);
    } catch (const Failure& failure) {
        return Arguments::refuse(err, command, UsageError(toUtf8(failure.description())));
    }
    if (verification.values.count("--help") != 0) {
        out << (wantsReceipt ? kReceiptUsage : kBoardUsage) << kOptions;
        return 0;
    }
    const auto environment = settings.environment(nullptr);
    const auto url = verification.values.count("--board") != 0
                         ? verification.values["--board"]
                         : boardUrlOf(toUtf8(environment.smvUrl));
    try {
        BoardClient board(url, environment.http);
        BoardMemory memory(settings.boardsFolder(), board.url());
        const auto trusted = trustedHead(board, memory, verification.values);
        const auto verdict = check(board, trusted.head, verification);
        memory.remember(trusted.certificatePem, trusted.head);
        out << verdict << '\n';
        return 0;
    } catch (const BoardProblem& problem) {
        err << command << ": " << problem.what() << '\n';
        return 1;
    }
}

}  // namespace

int runVerifyReceiptCommand(const std::vector<std::string>& args, Settings& settings,
                            std::ostream& out, std::ostream& err) {
    return verify(args, settings, out, err, true, &receiptCheck);
}

int runVerifyBoardCommand(const std::vector<std::string>& args, Settings& settings,
                          std::ostream& out, std::ostream& err) {
    return verify(args, settings, out, err, false, &boardCheck);
}

}  // namespace ardenax::app
