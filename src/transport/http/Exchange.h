#pragma once

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

// The requests of one post, on a request handle of their own within the
// session, so the second request reuses the connection of the first. Every
// failure to get an answer (no route, refused, TLS, timeout, too many
// redirects) is thrown as a Failure numbered with libcurl's code; an answer
// with any HTTP status is returned.
class Exchange {
public:
    explicit Exchange(const Session& session);
    // libcurl keeps pointers into the object (its error buffer).
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    Response get(const std::string& url);
    // An application/x-www-form-urlencoded POST of `fields`, in their order.
    Response postForm(const std::string& url, const FormFields& fields);

private:
    Response perform(const std::string& url, std::string_view purpose);

    CHandle<releaseEasy> easy_;
    CHandle<releaseList> headers_;
    // libcurl's own account of a failure, filled by the transfer.
    std::string detail_;
};

}  // namespace ardenax::http
