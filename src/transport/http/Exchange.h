#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "support/CHandle.h"
#include "transport/http/FormFields.h"
#include "transport/http/Response.h"
#include "transport/http/Session.h"

struct curl_slist;

namespace ardenax::http {

// Give libcurl's objects back, where libcurl's headers are included.
void releaseEasy(void* easy);
void releaseList(curl_slist* list);

// Requests on one request handle within the session, one at a time, each
// reusing the connection of the one before while the server keeps it. Every
// failure to get an answer (no route, refused, TLS, timeout, too many
// redirects, an answer over the cap) is thrown as a Failure numbered with
// libcurl's code; an answer with any HTTP status is returned. Each request
// has the settings' request timeout of its own, as each wait of a browser had.
class Exchange {
public:
    // The largest answer body taken to the POST, counted after decompression:
    // far above any answer of the voting road, and small enough that a hostile
    // or broken server cannot fill the voter's memory. The GET's answer is
    // never used, so it is read and dropped, whatever its size.
    static constexpr std::size_t MaxAnswerBytes = std::size_t{1024} * 1024;

    explicit Exchange(const Session& session);
    // libcurl keeps pointers into the object (its error buffer).
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    Response get(const std::string& url);
    // A GET whose answer is kept, up to MaxAnswerBytes.
    Response fetch(const std::string& url);
    // An application/x-www-form-urlencoded POST of `fields`, in their order.
    Response postForm(const std::string& url, const FormFields& fields);

private:
    enum class Body { Keep, Drop };

    void startGet();

    Response perform(const std::string& url, std::string_view purpose, Body body);

    CHandle<releaseEasy> easy_;
    CHandle<releaseList> headers_;
    // libcurl's own account of a failure, filled by the transfer.
    std::string detail_;
    std::chrono::milliseconds requestTimeout_;
};

}  // namespace ardenax::http
