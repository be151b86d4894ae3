#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string_view>

#include "support/MessageBox.h"
#include "support/Text.h"
#include "support/Wait.h"

namespace ardenax {

// HTTP settings of the transport.
struct HttpSettings {
    // An extra CA bundle to trust besides the system's, empty for none.
    std::filesystem::path caFile;
    std::chrono::seconds connectTimeout{30};
    // Each request of a post (the GET, then the POST) has this long of its own.
    std::chrono::seconds requestTimeout{120};
};

// The platform services and settings the system's classes are given instead
// of discovering them: hosts build one (from flags and ARDENAX_* variables),
// tests build one per test on temporary folders.
struct Environment {
    // The build's voting host (-DARDENAX_VOTING_HOST=...), so that an
    // election's build reaches its servers with no settings at all.
    static constexpr TextView DefaultPromotorUrl =
        u"https://" ARDENAX_VOTING_HOST "/promotor/obtaintoken";
    static constexpr TextView DefaultSmvUrl = u"https://" ARDENAX_VOTING_HOST "/smv/votesetter";
    // A build made for an election names its voting host; it takes its
    // servers and its trust from the build alone. Development builds keep the
    // example host and are pointed elsewhere by ARDENAX_* variables.
    static constexpr bool ElectionBuild =
        std::string_view(ARDENAX_VOTING_HOST) != std::string_view("vote.ardenax.example");

    std::shared_ptr<MessageBox> messageBox;
    // How the calling thread waits for the network and for key pairs.
    std::shared_ptr<Wait> wait = std::make_shared<InlineWait>();
    // Root of the per-user certificate stores, one folder per store.
    std::filesystem::path storeRoot;
    // The user's documents folder (the debug log goes below it).
    std::filesystem::path documentsDir;
    HttpSettings http;
    // Where the control's reset points the platform.
    Text promotorUrl{DefaultPromotorUrl};
    Text smvUrl{DefaultSmvUrl};
};

}  // namespace ardenax
