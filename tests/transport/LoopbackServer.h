#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "crypto/toolkit/Pki.h"

namespace ardenax::testing {

// What the server saw of one request, recorded before its answer is sent.
struct ReceivedRequest {
    std::string method;
    std::string path;
    std::string body;
    std::string contentType;
    std::string cookie;
    std::string userAgent;
    std::string referer;
};

// A real HTTPS server on an ephemeral loopback port, with a certificate from a
// throwaway authority. Add routes through routes(), then start(); it stops
// when the object goes.
class LoopbackServer {
public:
    LoopbackServer() : server_(certificate_.x509(), certificate_.privateKey()) {
        server_.set_keep_alive_timeout(1);
        server_.set_tcp_nodelay(true);
        // Runs before the answer is written, once the body has been read.
        server_.set_post_routing_handler(
            [this](const httplib::Request& request, const httplib::Response&) {
                const std::lock_guard lock(mutex_);
                received_.push_back(
                    {request.method, request.path, request.body,
                     request.get_header_value("Content-Type"), request.get_header_value("Cookie"),
                     request.get_header_value("User-Agent"), request.get_header_value("Referer")});
            });
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    ~LoopbackServer() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        stopped_.notify_all();
        if (thread_.joinable()) {
            // stop() only reaches a server whose accept loop has begun.
            while (!server_.is_running() && !finished_) {
                std::this_thread::yield();
            }
            server_.stop();
            thread_.join();
        }
    }

    httplib::Server& routes() { return server_; }

    // The socket listens once bound, so requests made after this queue up
    // even before the accept loop runs.
    void start() {
        port_ = server_.bind_to_any_port("127.0.0.1");
        if (port_ <= 0) {
            throw std::runtime_error("loopback server: no port");
        }
        thread_ = std::thread([this] {
            server_.listen_after_bind();
            finished_ = true;
        });
    }

    int port() const { return port_; }

    // The authority's certificate as PEM, for a client to trust.
    void writeAuthority(const std::filesystem::path& file) const {
        std::ofstream(file) << toolkit::certificatePem(authority_);
    }

    std::vector<ReceivedRequest> received() const {
        const std::lock_guard lock(mutex_);
        return received_;
    }

    // For a handler that must never answer: returns only when the server goes.
    void waitUntilStopping() {
        std::unique_lock lock(mutex_);
        stopped_.wait(lock, [this] { return stopping_; });
    }

private:
    toolkit::Certificate authority_ = toolkit::createAuthority("ArdenaX Test CA");
    toolkit::Certificate certificate_ =
        toolkit::issueServerCertificate(authority_, {"127.0.0.1", "localhost"});
    httplib::SSLServer server_;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> finished_{false};
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::vector<ReceivedRequest> received_;
};

}  // namespace ardenax::testing
