#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <httplib.h>

#include "server/FormBody.h"
#include "server/ReferenceServer.h"
#include "transport/LoopbackServer.h"

namespace ardenax::testing {

// An HTTPS server on loopback between a control and the reference servers:
// it passes each request on to them and their answer back, keeps what each
// request was, and answers a path with a scripted page instead when told to.
class ForwardingServer {
public:
    explicit ForwardingServer(const server::ReferenceServer& target) : target_(target.port()) {
        auto& routes = loopback_.routes();
        routes.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            keep(request, {});
            pass(request, response);
        });
        routes.Post(".*", [this](const httplib::Request& request, httplib::Response& response) {
            keep(request,
                 server::parseFormBody(request.body).value_or(std::vector<server::FormField>{}));
            pass(request, response);
        });
        loopback_.start();
    }

    Text url(std::string_view path) const { return loopback_.url(std::string(path)); }
    void writeAuthority(const std::filesystem::path& file) const { loopback_.writeAuthority(file); }

    // From now on, POSTs to `path` are answered with a page whose body is
    // exactly `body`, with HTTP status `status`, and are not passed on.
    void script(std::string_view path, std::string body, int status = 200) {
        const std::lock_guard lock(mutex_);
        scripted_[std::string(path)] = {std::move(body), status};
    }

    // Each request so far: method, path and its form's field names.
    std::vector<std::string> requests() const {
        const std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    void keep(const httplib::Request& request, const std::vector<server::FormField>& fields) {
        std::string line = request.method + " " + request.path;
        for (const auto& field : fields) {
            line += " " + field.name;
        }
        const std::lock_guard lock(mutex_);
        requests_.push_back(line);
    }

    void pass(const httplib::Request& request, httplib::Response& response) {
        std::pair<std::string, int> scripted;
        {
            const std::lock_guard lock(mutex_);
            const auto found = scripted_.find(request.path);
            if (request.method == "POST" && found != scripted_.end()) {
                scripted = found->second;
            }
        }
        if (scripted.second != 0) {
            response.status = scripted.second;
            response.set_content("<HTML><BODY>" + scripted.first + "</BODY></HTML>", "text/html");
            return;
        }
        httplib::SSLClient client("127.0.0.1", target_);
        client.enable_server_certificate_verification(false);
        const auto answer =
            request.method == "POST"
                ? client.Post(request.path, request.body, request.get_header_value("Content-Type"))
                : client.Get(request.path);
        if (!answer) {
            response.status = 502;
            return;
        }
        response.status = answer->status;
        response.set_content(answer->body, answer->get_header_value("Content-Type"));
    }

    int target_;
    LoopbackServer loopback_;
    mutable std::mutex mutex_;
    std::map<std::string, std::pair<std::string, int>> scripted_;
    std::vector<std::string> requests_;
};

}  // namespace ardenax::testing
