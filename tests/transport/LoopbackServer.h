#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "crypto/toolkit/Pki.h"
#include "support/Text.h"

namespace ardenax::testing {

// A real HTTPS server on an ephemeral loopback port, with a certificate for
// `names` from a throwaway authority (plain HTTP when there are no names).
// Add routes through routes(), then start(); it stops when the object goes.
class LoopbackServer {
public:
    explicit LoopbackServer(const std::vector<std::string>& names = {"127.0.0.1", "localhost"}) {
        if (names.empty()) {
            server_ = std::make_unique<httplib::Server>();
        } else {
            const auto certificate = toolkit::issueServerCertificate(authority_, names);
            server_ =
                std::make_unique<httplib::SSLServer>(certificate.x509(), certificate.privateKey());
        }
        server_->set_keep_alive_timeout(1);
        server_->set_tcp_nodelay(true);
        // Runs before the answer is written, once the body has been read.
        server_->set_post_routing_handler(
            [this](const httplib::Request& request, const httplib::Response&) {
                const std::lock_guard lock(mutex_);
                received_.push_back(request);
            });
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    ~LoopbackServer() {
        if (thread_.joinable()) {
            // stop() only reaches a server whose accept loop has begun.
            while (!server_->is_running() && !finished_) {
                std::this_thread::yield();
            }
            server_->stop();
            thread_.join();
        }
    }

    httplib::Server& routes() { return *server_; }

    // The socket listens once bound, so requests made after this queue up
    // even before the accept loop runs.
    void start() {
        port_ = server_->bind_to_any_port("127.0.0.1");
        if (port_ <= 0) {
            throw std::runtime_error("loopback server: no port");
        }
        thread_ = std::thread([this] {
            server_->listen_after_bind();
            finished_ = true;
        });
    }

    int port() const { return port_; }

    // The https address of `path` on this server, whatever it speaks.
    Text url(const std::string& path) const {
        return fromUtf8("https://127.0.0.1:" + std::to_string(port_) + path);
    }
    // The http address of `path`, for a server that speaks plain HTTP.
    std::string plainUrl(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

    // Adds the authority's certificate to a CA file for a client to trust.
    void writeAuthority(const std::filesystem::path& file) const {
        std::ofstream(file, std::ios::app) << toolkit::certificatePem(authority_);
    }

    // The requests so far: their method, path, headers and body.
    std::vector<httplib::Request> received() const {
        const std::lock_guard lock(mutex_);
        return received_;
    }

private:
    toolkit::Certificate authority_ = toolkit::createAuthority("ArdenaX Test CA");
    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> finished_{false};
    mutable std::mutex mutex_;
    std::vector<httplib::Request> received_;
};

}  // namespace ardenax::testing
