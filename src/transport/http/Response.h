#pragma once

#include <string>

namespace ardenax::http {

// What a server answered to one request, after any redirects were followed.
struct Response {
    long status = 0;
    // As the status line gave it; empty when the server sent none.
    std::string reason;
    // The Content-Type header as sent, empty when there was none.
    std::string contentType;
    std::string body;
};

}  // namespace ardenax::http
