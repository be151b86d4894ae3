#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include <httplib.h>

namespace ardenax::bench {

// What one post brought: the answer text (between <BODY> and </BODY>), or
// why there was none.
struct PostOutcome {
    bool answered = false;
    std::string text;
};

// One client's HTTPS connection to one server, kept from post to post. The
// servers cut every connection a fixed time after it opened, so it is
// renewed, between posts, well before that.
class KeptConnection {
public:
    // `url`: https://HOST:PORT/PATH.
    KeptConnection(const std::string& url, std::filesystem::path caFile);

    PostOutcome post(const std::string& formBody);

private:
    void open();

    std::string host_;
    int port_ = 0;
    std::string path_;
    std::filesystem::path caFile_;
    std::unique_ptr<httplib::SSLClient> client_;
    std::chrono::steady_clock::time_point opened_;
};

}  // namespace ardenax::bench
