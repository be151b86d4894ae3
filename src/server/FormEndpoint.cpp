#include "server/FormEndpoint.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <thread>

#include "server/FormBody.h"

namespace ardenax::server {
namespace {

constexpr std::string_view FormType = "application/x-www-form-urlencoded";
constexpr std::string_view PageType = "text/html; charset=UTF-8";
constexpr int BadRequest = 400;
constexpr int PayloadTooLarge = 413;
constexpr int InternalError = 500;

bool isForm(const std::string& contentType) {
    const auto type = std::string_view(contentType).substr(0, FormType.size());
    return std::equal(
               type.begin(), type.end(), FormType.begin(), FormType.end(),
               [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }) &&
           (contentType.size() == FormType.size() || contentType[FormType.size()] == ';');
}

void respond(httplib::Response& response, int status, const FormEndpoint& endpoint,
             std::string_view answer) {
    response.status = status;
    response.set_content("<HTML><HEAD><TITLE>" + endpoint.title + "</TITLE></HEAD><BODY>" +
                             std::string(answer) + "</BODY></HTML>",
                         std::string(PageType));
}

// The body, read and counted as it arrives: the HTTP library bounds only a
// body whose length is given. Nullopt, with the answer given, when it was
// not read whole.
std::optional<std::string> readBody(const httplib::Request& request, httplib::Response& response,
                                    const httplib::ContentReader& reader,
                                    const FormEndpoint& endpoint) {
    std::string body;
    std::size_t received = 0;
    const auto count = [&received](std::size_t length) {
        received += length;
        return received <= HttpsListener::MaxRequestLength;
    };
    const bool read =
        request.is_multipart_form_data()
            ? reader([](const httplib::MultipartFormData&) { return true; },
                     [&count](const char*, std::size_t length) { return count(length); })
            : reader([&body, &count](const char* data, std::size_t length) {
                  if (!count(length)) {
                      return false;
                  }
                  body.append(data, length);
                  return true;
              });
    if (read) {
        return body;
    }
    const bool tooLarge =
        response.status == PayloadTooLarge || received > HttpsListener::MaxRequestLength;
    respond(response, tooLarge ? PayloadTooLarge : BadRequest, endpoint,
            tooLarge ? "ERROR the request is too large" : "ERROR the request was not read");
    return std::nullopt;
}

}  // namespace

void addFormEndpoint(HttpsListener& listener, FormEndpoint given) {
    const auto endpoint = std::make_shared<const FormEndpoint>(std::move(given));
    auto& routes = listener.routes();
    routes.Get(endpoint->path, [endpoint](const httplib::Request&, httplib::Response& response) {
        respond(response, 200, *endpoint, endpoint->greeting);
    });
    routes.Post(endpoint->path, [endpoint](const httplib::Request& request,
                                           httplib::Response& response,
                                           const httplib::ContentReader& reader) {
        const auto body = readBody(request, response, reader, *endpoint);
        if (!body) {
            return;
        }
        const auto fields =
            isForm(request.get_header_value("Content-Type")) ? parseFormBody(*body) : std::nullopt;
        if (!fields) {
            respond(response, BadRequest, *endpoint, "ERROR the request is not a well-formed form");
            return;
        }
        std::this_thread::sleep_for(endpoint->delay);
        try {
            respond(response, 200, *endpoint, endpoint->answer(*fields));
        } catch (const std::exception&) {
            respond(response, InternalError, *endpoint, "ERROR the server failed");
        }
    });
}

}  // namespace ardenax::server
