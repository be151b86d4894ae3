#include "StoreCommand.h"

#include <charconv>
#include <chrono>
#include <ctime>

#include "common/Arguments.h"
#include "crypto/X509Manager.h"
#include "crypto/toolkit/CertificateStore.h"

namespace ardenax::app {
namespace {

constexpr const char* kUsage = R"(usage: ardenax store list [settings]
       ardenax store purge [--older-than MINUTES | --all] [settings]

  list    shows the certificates of the request store: subject, thumbprint, when
          added
  purge   removes the voting certificates, keys included, that controls left
          behind when they ended without a reset; by default those added over 60
          minutes ago, so that a vote in progress keeps its key (--all removes
          every one)
Settings: --store-dir DIR (ARDENAX_STORE_DIR).
)";

std::string utcText(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
    return text;
}

toolkit::CertificateStore requestStore(const Settings& settings, toolkit::StoreAccess access) {
    return {settings.environment(nullptr).storeRoot, X509Manager::RequestStore, access};
}

int list(const Settings& settings, std::ostream& out) {
    const auto store = requestStore(settings, toolkit::StoreAccess::ReadOnly);
    const auto entries = store.entries();
    out << "Request store " << store.folder().string() << ": " << entries.size()
        << (entries.size() == 1 ? " certificate\n" : " certificates\n");
    for (const auto& entry : entries) {
        out << "  " << utcText(entry.added) << "  " << entry.certificate->thumbprint() << "  "
            << toUtf8(entry.certificate->subject()) << '\n';
    }
    return 0;
}

int purge(const Settings& settings, std::chrono::minutes olderThan, std::ostream& out) {
    const auto storeRoot = settings.environment(nullptr).storeRoot;
    const int removed = X509Manager::purgeLeftBehind(storeRoot, olderThan);
    out << "Removed " << removed << (removed == 1 ? " certificate" : " certificates") << " from "
        << requestStore(settings, toolkit::StoreAccess::ReadOnly).folder().string() << '\n';
    return 0;
}

std::chrono::minutes minutesOf(const std::string& text) {
    int minutes = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), minutes);
    if (error != std::errc{} || end != text.data() + text.size() || minutes < 0) {
        throw UsageError("--older-than wants whole minutes, not \"" + text + "\"");
    }
    return std::chrono::minutes(minutes);
}

}  // namespace

int runStoreCommand(const std::vector<std::string>& args, Settings& settings, std::ostream& out,
                    std::ostream& err) {
    Arguments arguments(args);
    const std::string command = arguments.next();
    if (command == "--help") {
        out << kUsage;
        return 0;
    }
    std::chrono::minutes olderThan = X509Manager::LeftBehindAfter;
    try {
        if (command != "list" && command != "purge") {
            throw UsageError(command.empty() ? "give list or purge" : "unknown command " + command);
        }
        while (!arguments.done()) {
            const std::string arg = arguments.next();
            if (arg == "--all") {
                olderThan = std::chrono::minutes(0);
            } else if (arg == "--older-than") {
                olderThan = minutesOf(arguments.valueOf(arg));
            } else if (arg == "--store-dir") {
                settings.set("store-dir", arguments.valueOf(arg));
            } else {
                throw UsageError("unknown option " + arg);
            }
        }
    } catch (const UsageError& error) {
        return Arguments::refuse(err, "ardenax store", error);
    }
    return command == "list" ? list(settings, out) : purge(settings, olderThan, out);
}

}  // namespace ardenax::app
