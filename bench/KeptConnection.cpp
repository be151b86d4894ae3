#include "KeptConnection.h"

#include <stdexcept>

namespace ardenax::bench {
namespace {

// The servers cut a connection 10 s after it opened, whatever it is doing.
constexpr auto RenewAfter = std::chrono::seconds(5);
constexpr std::string_view Scheme = "https://";
constexpr std::string_view FormType = "application/x-www-form-urlencoded";
constexpr int Ok = 200;

std::string bodyText(const std::string& page) {
    constexpr std::string_view Open = "<BODY>";
    const auto start = page.find(Open);
    const auto end = page.find("</BODY>");
    if (start == std::string::npos || end == std::string::npos || end < start) {
        return page;
    }
    return page.substr(start + Open.size(), end - start - Open.size());
}

}  // namespace

KeptConnection::KeptConnection(const std::string& url, std::filesystem::path caFile)
    : caFile_(std::move(caFile)) {
    const auto colon = url.find(':', Scheme.size());
    const auto slash = url.find('/', Scheme.size());
    if (!url.starts_with(Scheme) || colon == std::string::npos || slash == std::string::npos ||
        slash < colon) {
        throw std::invalid_argument("not an https://HOST:PORT/PATH URL: " + url);
    }
    host_ = url.substr(Scheme.size(), colon - Scheme.size());
    port_ = std::stoi(url.substr(colon + 1, slash - colon - 1));
    path_ = url.substr(slash);
    open();
}

void KeptConnection::open() {
    client_ = std::make_unique<httplib::SSLClient>(host_, port_);
    client_->set_ca_cert_path(caFile_.string());
    client_->set_keep_alive(true);
    client_->set_tcp_nodelay(true);
    opened_ = std::chrono::steady_clock::now();
}

PostOutcome KeptConnection::post(const std::string& formBody) {
    if (std::chrono::steady_clock::now() - opened_ > RenewAfter) {
        open();
    }
    auto result = client_->Post(path_, formBody, std::string(FormType));
    if (!result && result.error() == httplib::Error::Write) {
        // The server closed the kept connection as the post began, so it did
        // not get the vote: sent again on a new connection, as a browser does.
        open();
        result = client_->Post(path_, formBody, std::string(FormType));
    }
    if (!result) {
        // The next post starts on a connection of its own.
        open();
        return {false, "no answer: " + httplib::to_string(result.error())};
    }
    if (result->status != Ok) {
        return {false, "HTTP " + std::to_string(result->status) + ": " + bodyText(result->body)};
    }
    return {true, bodyText(result->body)};
}

}  // namespace ardenax::bench
