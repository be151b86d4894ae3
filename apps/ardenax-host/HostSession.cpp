#include "HostSession.h"

#include <limits>
#include <optional>
#include <vector>

#include "JsonMessage.h"
#include "control/DispatchTable.h"
#include "support/ResultTexts.h"

namespace ardenax::host {
namespace {

using nlohmann::json;

constexpr TextView kSource = u"ardenax-host";

Failure badRequest(const std::string& why) {
    return {Failure::E_InvalidArg, fromUtf8(why), Text(kSource)};
}

json errorReply(const json& id, const Failure& failure) {
    return {{"id", id},
            {"error",
             {{"number", failure.number()},
              {"description", toUtf8(failure.description())},
              {"source", toUtf8(failure.source())}}}};
}

std::string dump(const json& message) {
    return message.dump(-1, ' ', false, json::error_handler_t::replace);
}

const DispatchTable::Method& methodOf(const json& request) {
    if (const auto method = request.find("method"); method != request.end()) {
        if (!method->is_string()) {
            throw badRequest("\"method\" must be a text");
        }
        return DispatchTable::find(fromUtf8(method->get<std::string>()));
    }
    const auto& dispid = request.at("dispid");
    if (!dispid.is_number_integer()) {
        throw badRequest("\"dispid\" must be a whole number");
    }
    // A number beyond 32 bits names no method: cut down, it could name one.
    constexpr auto Lowest = std::numeric_limits<std::int32_t>::min();
    constexpr auto Highest = std::numeric_limits<std::int32_t>::max();
    const bool fits =
        dispid.is_number_unsigned()
            ? dispid.get<std::uint64_t>() <= static_cast<std::uint64_t>(Highest)
            : dispid.get<std::int64_t>() >= Lowest && dispid.get<std::int64_t>() <= Highest;
    if (!fits) {
        throw Failure(Failure::DispMemberNotFound, standardDescription(Failure::DispMemberNotFound),
                      u"VotingX");
    }
    return DispatchTable::find(dispid.get<std::int32_t>());
}

std::vector<Text> argumentsOf(const json& request) {
    std::vector<Text> args;
    const auto found = request.find("args");
    if (found == request.end()) {
        return args;
    }
    if (!found->is_array()) {
        throw badRequest("\"args\" must be a list of texts");
    }
    for (const auto& arg : *found) {
        if (!arg.is_string()) {
            throw Failure(Failure::DispTypeMismatch, u"Every argument must be a text",
                          Text(kSource));
        }
        args.push_back(fromUtf8(arg.get<std::string>()));
    }
    return args;
}

}  // namespace

class HostSession::ChannelMessageBox final : public MessageBox {
public:
    explicit ChannelMessageBox(HostSession& session) : session_(session) {}
    void show(const Text& text) override { session_.showMessageBox(text); }

private:
    HostSession& session_;
};

HostSession::HostSession(Channel& channel, Options options, std::ostream& log)
    : channel_(channel), options_(options), log_(log) {}

std::shared_ptr<MessageBox> HostSession::messageBox() {
    return std::make_shared<ChannelMessageBox>(*this);
}

bool HostSession::admit(const OriginPolicy& policy, const std::optional<Failure>& cannotStart) {
    std::optional<std::string> message;
    try {
        message = channel_.read();
    } catch (const FramingError& error) {
        refuse(error);
        return false;
    }
    if (!message) {
        log_ << "ardenax-host: the browser closed the session before naming the page's origin\n";
        return false;
    }
    const json opening = parseMessage(*message);
    const auto origin = opening.is_object() ? opening.find("origin") : opening.end();
    if (origin == opening.end() || !origin->is_string()) {
        refuse(badRequest("The first message must name the page's origin"));
        return false;
    }
    const auto text = origin->get<std::string>();
    if (!policy.allows(text)) {
        refuse(Failure(Failure::E_AccessDenied,
                       fromUtf8("The origin " + text + " may not use ArdenaX"), Text(kSource)));
        return false;
    }
    if (cannotStart) {
        refuse(*cannotStart);
        return false;
    }
    reply({{"origin", text}, {"accepted", true}});
    return true;
}

int HostSession::run(VotingX& control) {
    int status = 0;
    try {
        while (const auto message = channel_.read()) {
            handle(control, *message);
            if (brokenInput_) {
                throw *brokenInput_;
            }
        }
    } catch (const FramingError& error) {
        replyError(nullptr, error);
        log_ << "ardenax-host: " << toUtf8(error.description()) << '\n';
        status = 1;
    }
    end(control);
    return status;
}

void HostSession::refuse(const Failure& failure) {
    replyError(nullptr, failure);
    log_ << "ardenax-host: " << toUtf8(failure.description()) << '\n';
}

void HostSession::end(VotingX& control) {
    try {
        control.end();
    } catch (const Failure& failure) {
        log_ << "ardenax-host: the voter's certificate could not be removed at the end: "
             << toUtf8(failure.description()) << '\n';
    }
}

void HostSession::handle(VotingX& control, const std::string& message) {
    const json request = parseMessage(message);
    if (request.is_discarded() || !request.is_object()) {
        replyError(nullptr, badRequest("A request must be one JSON object"));
        return;
    }
    if (!request.contains("id") || (!request.contains("method") && !request.contains("dispid"))) {
        replyError(nullptr, badRequest("A request needs an \"id\" and a \"method\" or \"dispid\""));
        return;
    }
    const json& id = request.at("id");
    try {
        const auto& method = methodOf(request);
        const auto args = argumentsOf(request);
        currentId_ = id;
        const Text result = DispatchTable::invoke(control, method, args).toText();
        json answer = {{"id", id},
                       {"result", toUtf8(result)},
                       {"kind", results::nameOf(results::kindOf(result))}};
        // A vote the SMV accepted: its receipt goes with the confirmation.
        if (method.name == u"getConfirmationText" && !result.empty() && !isErrorText(result)) {
            if (const Text receipt = control.getReceipt(); !receipt.empty()) {
                answer["receipt"] = toUtf8(receipt);
            }
        }
        reply(answer);
    } catch (const Failure& failure) {
        replyError(id, failure);
    }
}

void HostSession::showMessageBox(const Text& text) {
    reply({{"id", currentId_},
           {"messageBox", {{"caption", toUtf8(MessageBox::Caption)}, {"text", toUtf8(text)}}}});
    if (options_.autoCloseMessageBoxes) {
        return;
    }
    // The box is modal: nothing else runs until the caller closes it. At the
    // end of input, or once the input broke its framing, nobody is left to
    // close it, so the call goes on; a broken input ends the session after it.
    while (const auto message = readWhileBoxOpen()) {
        const json answer = parseMessage(*message);
        // Only a true closes the box; any other value leaves it open.
        if (answer.is_object() && answer.value("id", json()) == currentId_ &&
            answer.value("messageBoxClosed", json()) == true) {
            return;
        }
        const json id = answer.is_object() ? answer.value("id", json()) : json();
        replyError(id, badRequest("A message box is open; close it before anything else"));
    }
}

std::optional<std::string> HostSession::readWhileBoxOpen() {
    if (brokenInput_) {
        return std::nullopt;
    }
    try {
        return channel_.read();
    } catch (const FramingError& error) {
        brokenInput_ = error;
        return std::nullopt;
    }
}

void HostSession::reply(const json& message) {
    std::string text = dump(message);
    if (text.size() > channel_.maxOutgoing()) {
        const Failure tooLarge = badRequest("The reply of " + std::to_string(text.size()) +
                                            " bytes is too large to be sent");
        text = dump(errorReply(message.value("id", json()), tooLarge));
        // The id itself may be what is too large to echo.
        if (text.size() > channel_.maxOutgoing()) {
            text = dump(errorReply(nullptr, tooLarge));
        }
    }
    channel_.write(text);
}

void HostSession::replyError(const json& id, const Failure& failure) {
    reply(errorReply(id, failure));
}

}  // namespace ardenax::host
