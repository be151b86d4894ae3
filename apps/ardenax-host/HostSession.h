#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "Channel.h"
#include "OriginPolicy.h"
#include "control/VotingX.h"
#include "support/Failure.h"
#include "support/MessageBox.h"

namespace ardenax::host {

// Serves one control over a channel: one request at a time, replies in
// order, and message boxes as events the caller closes.
//   request  {"id": any, "method": name | "dispid": number, "args": [texts]}
//   reply    {"id": same, "result": text} | {"id": same, "error": {number, description, source}}
//   event    {"id": the call's id, "messageBox": {"caption": "ArdenaX", "text": text}}
//   answer   {"id": the call's id, "messageBoxClosed": true}
// A browser's session opens with the page's origin, which the host accepts or
// refuses before any call:
//   opening  {"origin": "https://vote.example"}
//   accepted {"origin": same, "accepted": true} | refused: an error reply with id null
class HostSession {
public:
    struct Options {
        // Send each box and go on at once instead of waiting for it to be closed.
        bool autoCloseMessageBoxes = false;
    };

    // `log` takes one line per refused opening and per failure that ends the
    // session; the browser keeps a native host's standard error in its log.
    // Never a credential, a PIN or a token.
    HostSession(Channel& channel, Options options, std::ostream& log);

    // The box to give the control's environment; it speaks through this session.
    std::shared_ptr<MessageBox> messageBox();

    // Reads the opening message; true when it names an origin that `policy`
    // allows and the host can start (no `cannotStart`). Otherwise replies
    // with an error: the caller must then end.
    bool admit(const OriginPolicy& policy, const std::optional<Failure>& cannotStart = {});

    // Serves requests until the input ends (0) or breaks its framing (1).
    // Then ends the control: the certificate and key its token was bound to
    // leave the store with the session that the token dies with.
    int run(VotingX& control);

    // Refuses the session after its opening, for a host that cannot start:
    // one error reply, and one line in the log.
    void refuse(const Failure& failure);

private:
    class ChannelMessageBox;

    void handle(VotingX& control, const std::string& message);
    void showMessageBox(const Text& text);
    std::optional<std::string> readWhileBoxOpen();
    void reply(const nlohmann::json& message);
    void end(VotingX& control);
    void replyError(const nlohmann::json& id, const Failure& failure);

    Channel& channel_;
    Options options_;
    std::ostream& log_;
    // The id of the call under way, for its message boxes.
    nlohmann::json currentId_;
    // Set when the input broke its framing while a message box was open.
    std::optional<FramingError> brokenInput_;
};

}  // namespace ardenax::host
