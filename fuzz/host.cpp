// The host's input as a caller sends it: JSON lines, or native messaging with
// its opening, both through the session's handling of requests and of the
// answers to a message box.
#include <sstream>

#include "FuzzInput.h"
#include "HostSession.h"
#include "JsonLinesChannel.h"
#include "NativeMessagingChannel.h"
#include "control/FakePlatform.h"

void ardenax::fuzzing::fuzz(std::string_view input) {
    if (input.empty()) {
        return;
    }
    std::istringstream in(std::string(input.substr(1)));
    std::ostringstream out;
    host::JsonLinesChannel lines(in, out);
    host::NativeMessagingChannel native(in, out);
    const bool browser = input[0] == 'N';
    host::Channel& channel = browser ? static_cast<host::Channel&>(native) : lines;
    std::ostringstream log;
    host::HostSession session(channel, {}, log);
    if (browser && !session.admit(host::OriginPolicy({"https://vote.example"}))) {
        return;
    }
    // A platform whose first token request fails, so that a message box waits.
    auto script = std::make_shared<testing::FakePlatform::Script>();
    script->failNext = {"obtainToken", Failure(5, u"X")};
    Environment environment;
    environment.messageBox = session.messageBox();
    VotingX control(environment, [script](const Environment&) {
        return std::make_unique<testing::FakePlatform>(script);
    });
    session.run(control);
}
