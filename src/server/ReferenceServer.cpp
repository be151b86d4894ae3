#include "server/ReferenceServer.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include <httplib.h>

#include "crypto/toolkit/Pki.h"
#include "crypto/toolkit/TlsConnectionWatch.h"
#include "server/ConnectionLimits.h"
#include "server/FormBody.h"
#include "server/PageData.h"
#include "server/Promotor.h"
#include "server/Smv.h"
#include "support/Failure.h"
#include "support/StagedFile.h"

namespace ardenax::server {
namespace {

constexpr std::string_view FormType = "application/x-www-form-urlencoded";
constexpr std::string_view PageType = "text/html; charset=UTF-8";
constexpr int BadRequest = 400;
constexpr int PayloadTooLarge = 413;
constexpr int InternalError = 500;
// Short, so that stopping does not wait long on a client's idle connection.
constexpr time_t KeepAliveSeconds = 1;

struct ScriptedAnswer {
    std::string body;
    int status = 0;
};

std::string page(std::string_view title, std::string_view body) {
    return "<HTML><HEAD><TITLE>" + std::string(title) + "</TITLE></HEAD><BODY>" +
           std::string(body) + "</BODY></HTML>";
}

bool isForm(const std::string& contentType) {
    const auto type = std::string_view(contentType).substr(0, FormType.size());
    return std::equal(
               type.begin(), type.end(), FormType.begin(), FormType.end(),
               [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }) &&
           (contentType.size() == FormType.size() || contentType[FormType.size()] == ';');
}

bool isWildcard(const std::string& address) {
    return address == "0.0.0.0" || address == "::";
}

}  // namespace

struct ReferenceServer::State {
    explicit State(Options given)
        : options(std::move(given)),
          database(openDatabase(options.database)),
          promotor(database),
          smv(database),
          limits(options.connectionDeadline, MaxConnectionBytes) {}

    static const std::filesystem::path& openDatabase(const std::filesystem::path& file) {
        if (file.empty()) {
            throw Failure(Failure::InvalidProcedureCall, u"No database file given",
                          u"ReferenceServer");
        }
        if (!std::filesystem::exists(file)) {
            ElectionDatabase::createDemo(file);
        }
        return file;
    }

    void makeServer() {
        if (!options.certificateFile.empty() || !options.keyFile.empty()) {
            http = std::make_unique<httplib::SSLServer>(options.certificateFile.c_str(),
                                                        options.keyFile.c_str());
        } else {
            const auto authority = toolkit::createAuthority("ArdenaX reference servers CA");
            std::vector<std::string> hosts{"127.0.0.1", "localhost"};
            if (std::find(hosts.begin(), hosts.end(), options.address) == hosts.end() &&
                !isWildcard(options.address)) {
                hosts.push_back(options.address);
            }
            const auto identity = toolkit::issueServerCertificate(authority, hosts);
            // The server keeps its own references to both.
            http = std::make_unique<httplib::SSLServer>(identity.x509(), identity.privateKey());
            caPem = toolkit::certificatePem(authority);
            publicKeyPin = toolkit::publicKeyPin(identity);
        }
        if (!http->is_valid()) {
            throw Failure(Failure::E_Fail, u"The TLS certificate or key is not usable",
                          u"ReferenceServer");
        }
        // cpp-httplib's default options add SO_REUSEPORT, with which a second
        // server on the port would start and take half of the connections.
        http->set_socket_options([](socket_t socket) {
            const int yes = 1;
            setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
        });
        http->new_task_queue = [] {
            return std::make_unique<httplib::ThreadPool>(Workers).release();
        };
        toolkit::watchTlsConnections(http->ssl_context(), limits);
        http->set_payload_max_length(MaxRequestLength);
        http->set_keep_alive_timeout(KeepAliveSeconds);
        http->set_tcp_nodelay(true);
        for (const auto* path : {&PromotorPath, &SmvPath}) {
            const std::string route(*path);
            http->Get(
                route, [this, route](const httplib::Request& request, httplib::Response& response) {
                    const auto query = request.target.find('?');
                    record("GET", route,
                           query == std::string::npos
                               ? std::vector<FormField>()
                               : parseFormBody(std::string_view(request.target).substr(query + 1))
                                     .value_or(std::vector<FormField>()));
                    respond(response, 200, route,
                            route == PromotorPath
                                ? "ArdenaX reference Promotor: POST certificate, alg and the "
                                  "credentials here for a voting token."
                                : "ArdenaX reference SMV: POST pin, token and vote here.");
                });
            http->Post(route,
                       [this, route](const httplib::Request& request, httplib::Response& response,
                                     const httplib::ContentReader& reader) {
                           post(route, request, response, reader);
                       });
        }
        http->Get("/election.json", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(electionJson(database.election()), "application/json");
        });
        http->Get("/ballot-box.json", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(ballotBoxJson(database.ballotBox()), "application/json");
        });
        if (!options.webRoot.empty() && !http->set_mount_point("/", options.webRoot.string())) {
            throw Failure(Failure::E_Fail, u"No such folder: " + fromUtf8(options.webRoot.string()),
                          u"ReferenceServer");
        }
        http->set_error_handler([](const httplib::Request&, httplib::Response& response) {
            if (response.body.empty()) {
                response.set_content(page("Error", "ERROR HTTP " + std::to_string(response.status)),
                                     std::string(PageType));
            }
        });
    }

    void respond(httplib::Response& response, int status, const std::string& route,
                 std::string_view answer) const {
        response.status = status;
        response.set_content(
            page(route == PromotorPath ? "ArdenaX Promotor" : "ArdenaX SMV", answer),
            std::string(PageType));
    }

    void record(std::string method, const std::string& route, std::vector<FormField> fields) {
        if (options.recordForms) {
            const std::lock_guard lock(mutex);
            forms.push_back({std::move(method), route, std::move(fields)});
        }
    }

    void post(const std::string& route, const httplib::Request& request,
              httplib::Response& response, const httplib::ContentReader& reader) {
        std::string body;
        // The body is read, so that the connection stays in step, and counted
        // as it arrives: the library bounds only a body whose length is given.
        std::size_t received = 0;
        const auto count = [&received](std::size_t length) {
            received += length;
            return received <= MaxRequestLength;
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
        if (!read) {
            const bool tooLarge = response.status == PayloadTooLarge || received > MaxRequestLength;
            record("POST", route, {});
            respond(response, tooLarge ? PayloadTooLarge : BadRequest, route,
                    tooLarge ? "ERROR the request is too large" : "ERROR the request was not read");
            return;
        }
        const auto fields =
            isForm(request.get_header_value("Content-Type")) ? parseFormBody(body) : std::nullopt;
        record("POST", route, fields.value_or(std::vector<FormField>()));
        if (const auto answer = scriptedAnswer(route)) {
            respond(response, answer->status, route, answer->body);
            return;
        }
        if (!fields) {
            respond(response, BadRequest, route, "ERROR the request is not a well-formed form");
            return;
        }
        if (route == SmvPath) {
            std::this_thread::sleep_for(options.voteDelay);
        }
        try {
            respond(response, 200, route,
                    route == PromotorPath ? promotor.answer(*fields) : smv.answer(*fields));
        } catch (const std::exception&) {
            respond(response, InternalError, route, "ERROR the server failed");
        }
    }

    std::optional<ScriptedAnswer> scriptedAnswer(const std::string& route) const {
        const std::lock_guard lock(mutex);
        const auto found = scripted.find(route);
        return found == scripted.end() ? std::nullopt : std::optional(found->second);
    }

    void listen() {
        port = options.port == 0
                   ? http->bind_to_any_port(options.address)
                   : (http->bind_to_port(options.address, options.port) ? options.port : -1);
        if (port <= 0) {
            const int error = errno;
            throw Failure(Failure::E_Fail,
                          fromUtf8("Cannot listen on " + options.address + ":" +
                                   std::to_string(options.port) + ": " +
                                   (error == EADDRINUSE ? std::string("address in use")
                                                        : std::generic_category().message(error))),
                          u"ReferenceServer");
        }
        thread = std::thread([this] {
            http->listen_after_bind();
            finished = true;
        });
        // stop() reaches only a server whose accept loop has begun. The
        // socket already listens, so this wait is brief.
        while (!http->is_running() && !finished) {
            std::this_thread::yield();
        }
    }

    void stop() {
        if (thread.joinable()) {
            http->stop();
            thread.join();
        }
    }

    Options options;
    ElectionDatabase database;
    Promotor promotor;
    Smv smv;
    // Declared before the server, whose connections it must outlive.
    ConnectionLimits limits;
    std::string caPem;
    std::string publicKeyPin;
    std::unique_ptr<httplib::SSLServer> http;
    int port = 0;
    std::thread thread;
    std::atomic<bool> finished{false};
    mutable std::mutex mutex;
    std::vector<ReceivedForm> forms;
    std::map<std::string, ScriptedAnswer> scripted;
};

ReferenceServer::ReferenceServer(Options options)
    : state_(std::make_unique<State>(std::move(options))) {
    state_->makeServer();
    state_->listen();
}

ReferenceServer::~ReferenceServer() {
    stop();
}

void ReferenceServer::stop() {
    state_->stop();
}

int ReferenceServer::port() const {
    return state_->port;
}

std::string ReferenceServer::baseUrl() const {
    const auto& address = state_->options.address;
    const std::string host = isWildcard(address)                      ? "127.0.0.1"
                             : address.find(':') != std::string::npos ? "[" + address + "]"
                                                                      : address;
    return "https://" + host + ":" + std::to_string(state_->port);
}

std::string ReferenceServer::promotorUrl() const {
    return baseUrl() + std::string(PromotorPath);
}

std::string ReferenceServer::smvUrl() const {
    return baseUrl() + std::string(SmvPath);
}

const std::string& ReferenceServer::caPem() const {
    return state_->caPem;
}

const std::string& ReferenceServer::publicKeyPin() const {
    return state_->publicKeyPin;
}

void ReferenceServer::writeCaFile(const std::filesystem::path& file) const {
    // Never written through a link planted at its name or beside it.
    const auto folder =
        file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
    StagedFile(folder, state_->caPem, StagedFile::Readers::Everyone).replace(file);
}

ElectionDatabase& ReferenceServer::database() {
    return state_->database;
}

std::vector<ReceivedForm> ReferenceServer::receivedForms() const {
    const std::lock_guard lock(state_->mutex);
    return state_->forms;
}

void ReferenceServer::scriptAnswer(std::string_view path, std::string body, int status) {
    const std::lock_guard lock(state_->mutex);
    state_->scripted[std::string(path)] = {std::move(body), status};
}

}  // namespace ardenax::server
