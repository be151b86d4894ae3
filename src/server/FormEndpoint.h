#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "server/FormField.h"
#include "server/HttpsListener.h"

namespace ardenax::server {

// An address that takes a form, as the Promotor's and the SMV's do: a GET
// answers a page that says what to post there; a POST's body is read and
// counted as it arrives, must be a form, and is answered with a page whose
// body is the endpoint's answer.
struct FormEndpoint {
    std::string path;
    // The title of its pages.
    std::string title;
    // What a GET's page says.
    std::string greeting;
    // The answer to a form's fields: "OK", the fields of an answer, or "ERROR ...".
    std::function<std::string(const std::vector<FormField>&)> answer;
    // How long it takes before it answers, as a loaded server would.
    std::chrono::milliseconds delay{0};
};

void addFormEndpoint(HttpsListener& listener, FormEndpoint endpoint);

}  // namespace ardenax::server
