#pragma once

#include <memory>
#include <string>

#include "common/TempDir.h"
#include "control/VotingX.h"
#include "server/ReferenceServer.h"

namespace ardenax::bench {

// The reference servers on loopback HTTPS with a fresh demo election, and a
// control pointed at them with a store of its own.
class VoterRoad {
public:
    static constexpr TextView Credentials = u"utilizador=eleitor1###senha=demo1";

    VoterRoad();

    VotingX& control() { return *control_; }
    const Environment& environment() const { return environment_; }
    server::ReferenceServer& server() { return server_; }
    std::string caFile() const { return (dir_.path() / "ca.pem").string(); }
    std::string storeRoot() const { return environment_.storeRoot.string(); }

    // The cards, the PIN and the confirmation, after a token: true when the
    // vote was accepted.
    bool vote();

    // The peak resident memory, in MiB, of an ardenax-host that votes through
    // these servers over JSON lines.
    double hostPeakMiB() const;

private:
    testing::TempDir dir_;
    server::ReferenceServer server_;
    Environment environment_;
    std::unique_ptr<VotingX> control_;
};

}  // namespace ardenax::bench
