#include "VoterRoad.h"

#include <fstream>
#include <sstream>

#include "common/RecordingMessageBox.h"
#include "common/ServerEnvironment.h"
#include "integration/ChildProcess.h"

namespace ardenax::bench {

VoterRoad::VoterRoad()
    : server_({.database = dir_.path() / "election.db"}),
      environment_(testing::serverEnvironment(server_, dir_.path(),
                                              std::make_shared<testing::RecordingMessageBox>())) {
    control_ = std::make_unique<VotingX>(environment_);
}

bool VoterRoad::vote() {
    VotingX& x = *control_;
    return x.setChoice(u"BOT_Presidente", u"Presidente", u"Maria Pereira") == u"OK" &&
           x.setChoice(u"BOT_Assembleia", u"Assembleia", u"Lista A###Lista B") == u"OK" &&
           x.setChoice(u"BOT_Referendo", u"Referendo", u"Sim") == u"OK" &&
           x.setPINHash(u"2468").toText().size() == 28 &&
           x.getConfirmationText().starts_with(u"Tem a certeza");
}

double VoterRoad::hostPeakMiB() const {
    testing::ChildProcess host(
        ARDENAX_HOST_PROGRAM,
        {"--jsonl", "--promotor-url", server_.promotorUrl(), "--smv-url", server_.smvUrl(),
         "--store-dir", storeRoot(), "--ca-file", caFile()});
    host.write(
        R"({"id":1,"method":"obtainToken","args":["utilizador=eleitor2###senha=demo2"]})"
        "\n"
        R"({"id":2,"method":"setChoice","args":["BOT_Presidente","Presidente","Rita Fonseca"]})"
        "\n"
        R"({"id":3,"method":"setChoice","args":["BOT_Assembleia","Assembleia","Lista A"]})"
        "\n"
        R"({"id":4,"method":"setPINHash","args":["2468"]})"
        "\n"
        R"({"id":5,"method":"getConfirmationText"})"
        "\n");
    for (int reply = 0; reply < 5; ++reply) {
        host.readLine();
    }
    // VmHWM: the most the process ever had resident, in kB.
    std::ifstream status("/proc/" + std::to_string(host.pid()) + "/status");
    double peakKiB = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) {
            std::istringstream(line.substr(6)) >> peakKiB;
        }
    }
    host.closeInput();
    return peakKiB / 1024;
}

}  // namespace ardenax::bench
