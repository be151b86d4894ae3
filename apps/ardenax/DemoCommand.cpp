#include "DemoCommand.h"

#include <chrono>
#include <filesystem>
#include <random>

#include "common/Arguments.h"
#include "control/DispatchTable.h"
#include "control/VotingX.h"
#include "server/ElectionKey.h"
#include "server/OpenVote.h"
#include "server/ReferenceServer.h"
#include "server/SqliteElectionStore.h"
#include "support/Failure.h"
#include "support/Version.h"

namespace ardenax::app {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage = R"(usage: ardenax demo [--keep DIR]

Runs one voter's whole road against reference servers started for the
purpose on a loopback port (HTTPS with a throwaway authority), with a fresh
demo election and a temporary certificate store, and shows every step and
what the servers made of it. Needs no network beyond loopback.

  --keep DIR   work in DIR and leave its files (database, CA, store) behind
)";

// Message boxes are shown in the transcript and closed at once.
class TranscriptMessageBox final : public MessageBox {
public:
    explicit TranscriptMessageBox(Terminal& terminal) : terminal_(terminal) {}
    void show(const Text& text) override {
        terminal_.out() << "    " << terminal_.bad("[message box] ") << toUtf8(text) << '\n';
    }

private:
    Terminal& terminal_;
};

// The folder the demo works in: removed at the end unless the user keeps it.
class WorkFolder {
public:
    explicit WorkFolder(const std::string& keep) : keep_(!keep.empty()) {
        if (keep_) {
            path_ = keep;
        } else {
            std::random_device random;
            path_ = fs::temp_directory_path() / ("ardenax-demo-" + std::to_string(random()));
        }
        fs::create_directories(path_);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    ~WorkFolder() {
        if (!keep_) {
            std::error_code ignored;
            fs::remove_all(path_, ignored);
        }
    }
    const fs::path& path() const { return path_; }

private:
    bool keep_;
    fs::path path_;
};

std::string shownText(const Text& text) {
    std::string out = "\"";
    for (const char c : toUtf8(text)) {
        out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out + "\"";
}

class Demo {
public:
    Demo(Terminal& terminal, const fs::path& folder)
        : terminal_(terminal), folder_(folder), server_({.database = folder / "election.db"}) {
        server_.writeCaFile(folder / "ca.pem");
    }

    int run() {
        showServers();
        const bool voted = vote();
        const bool stored = showServerSide();
        terminal_.out() << '\n'
                        << (voted && stored ? terminal_.good("Vote accepted and stored.")
                                            : terminal_.bad("The vote was not stored."))
                        << '\n';
        return voted && stored ? 0 : 1;
    }

private:
    void showServers() {
        terminal_.section("Reference servers");
        auto& out = terminal_.out();
        const auto& election = server_.store().election();
        out << "  Promotor  " << server_.promotorUrl() << '\n'
            << "  SMV       " << server_.smvUrl() << '\n'
            << "  CA file   " << (folder_ / "ca.pem").string() << '\n'
            << "  Election  " << election.id << ", potency " << election.potency << ":";
        for (const auto& card : election.cards) {
            out << ' ' << card.name << " (" << card.slots << ')';
        }
        out << '\n';
    }

    Environment environment() {
        Environment env;
        env.messageBox = std::make_shared<TranscriptMessageBox>(terminal_);
        env.storeRoot = folder_ / "stores";
        env.documentsDir = folder_;
        env.http.caFile = folder_ / "ca.pem";
        env.promotorUrl = fromUtf8(server_.promotorUrl());
        env.smvUrl = fromUtf8(server_.smvUrl());
        return env;
    }

    // Calls a method by name, as page script does, and shows the call.
    Text call(VotingX& control, TextView method, const std::vector<Text>& args = {}) {
        auto& out = terminal_.out();
        out << "  " << terminal_.bold(toUtf8(method)) << '(';
        for (std::size_t i = 0; i < args.size(); ++i) {
            out << (i == 0 ? "" : ", ") << shownText(args[i]);
        }
        out << ")\n";
        const auto start = std::chrono::steady_clock::now();
        Text result = DispatchTable::invoke(control, DispatchTable::find(method), args).toText();
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        const bool multiLine = result.find(u'\n') != Text::npos;
        out << "    -> " << (multiLine ? "" : shownText(result)) << "  "
            << terminal_.dim(std::to_string(took.count()) + " ms") << '\n';
        if (multiLine) {
            indented(toUtf8(result));
        }
        return result;
    }

    // Shows a multi-line text below its step, its line breaks (CR LF or LF) kept.
    void indented(const std::string& text) {
        std::size_t start = 0;
        while (start < text.size()) {
            const auto end = text.find('\n', start);
            std::string line = text.substr(start, end == std::string::npos ? end : end - start);
            if (line.ends_with('\r')) {
                line.pop_back();
            }
            terminal_.out() << "      " << line << '\n';
            start = end == std::string::npos ? text.size() : end + 1;
        }
    }

    bool vote() {
        terminal_.section("The voter's road, as a voting page drives it");
        const auto voter = server::SqliteElectionStore::demoSetup().voters.front();
        VotingX control(environment());
        token_ = call(control, u"obtainToken", {fromUtf8(voter.credentials())});
        call(control, u"setChoice", {u"BOT_Presidente", u"Presidente", u"Maria Pereira"});
        call(control, u"setChoice",
             {u"BOT_Assembleia", u"Assembleia da República", u"Lista A###Lista C"});
        call(control, u"setChoice", {u"BOT_Referendo", u"Referendo", u"Sim"});
        call(control, u"setPINHash", {u"2468"});
        const Text confirmation = call(control, u"getConfirmationText");
        call(control, u"resetState");
        return confirmation.starts_with(u"Tem a certeza");
    }

    bool showServerSide() {
        terminal_.section("What the servers made of it");
        auto& out = terminal_.out();
        auto& store = server_.store();
        if (const auto issued = store.findToken(toUtf8(token_))) {
            out << "  Token issued  " << issued->token << " to " << issued->login << " at "
                << issued->issuedAt << '\n';
        }
        bool stored = false;
        for (const auto& entry : store.votes()) {
            out << "  Ballot box    #" << entry.id << ' ' << entry.verdict
                << (entry.counts ? ", counts" : ", superseded") << ", received " << entry.receivedAt
                << ", sealed\n";
            stored = stored ||
                     (entry.counts && entry.verdict == "OK" && fromUtf8(entry.token) == token_);
        }
        showOpened(store);
        return stored;
    }

    // The servers cannot open a vote: the demo opens it as the tally does,
    // with the election's key from its file beside the database.
    void showOpened(server::ElectionStore& store) {
        const auto keyFile = server::SqliteElectionStore::keyFileOf(folder_ / "election.db");
        const auto key = server::readElectionKey(keyFile);
        terminal_.section("Opened with the election's key, as the tally does (" +
                          keyFile.filename().string() + "; no server holds it)");
        auto& out = terminal_.out();
        for (const auto& entry : store.votes()) {
            const auto opened = server::openVote(entry.vote, key);
            out << "  Vote #" << entry.id << "  signed by " << opened.signerSubject << " (SHA-1 "
                << opened.signerThumbprint << ")\n";
            indented(opened.xml);
        }
    }

    Terminal& terminal_;
    fs::path folder_;
    server::ReferenceServer server_;
    Text token_;
};

}  // namespace

int runDemoCommand(const std::vector<std::string>& args, Terminal& terminal, std::ostream& err) {
    std::string keep;
    try {
        Arguments arguments(args);
        while (!arguments.done()) {
            const std::string arg = arguments.next();
            if (arg == "--help") {
                terminal.out() << kUsage;
                return 0;
            }
            if (arg != "--keep") {
                throw UsageError("unknown option " + arg);
            }
            keep = arguments.valueOf(arg);
        }
    } catch (const UsageError& error) {
        return Arguments::refuse(err, "ardenax demo", error);
    }
    const WorkFolder folder(keep);
    terminal.out() << terminal.bold("ArdenaX " + std::string(ProductVersionUtf8) + " demo")
                   << " in " << folder.path().string() << '\n';
    return Demo(terminal, folder.path()).run();
}

}  // namespace ardenax::app
