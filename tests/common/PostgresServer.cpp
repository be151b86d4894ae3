#include "common/PostgresServer.h"

#include <arpa/inet.h>
#include <array>
#include <fcntl.h>
#include <netinet/in.h>
#include <optional>
#include <pwd.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "server/PgConnection.h"

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

namespace ardenax::testing {

namespace fs = std::filesystem;

namespace {

const std::string Programs = "/usr/lib/postgresql/15/bin/";
// Ports are picked free, but another program may take one before the
// server binds it.
constexpr int StartAttempts = 5;
constexpr const char* ServerUser = "nobody";

bool runningAsRoot() {
    return ::geteuid() == 0;
}

std::vector<std::string> asServerUser(std::vector<std::string> command) {
    if (runningAsRoot()) {
        command.insert(command.begin(), {"runuser", "-u", ServerUser, "--"});
    }
    return command;
}

// Starts `command` with `actions` done first (they are then destroyed): its
// process id, or nothing when it could not start.
std::optional<pid_t> spawn(std::vector<std::string> command, posix_spawn_file_actions_t& actions) {
    std::vector<char*> arguments;
    arguments.reserve(command.size() + 1);
    for (auto& argument : command) {
        arguments.push_back(argument.data());
    }
    arguments.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, arguments[0], &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? std::optional(pid) : std::nullopt;
}

// Runs `command` in `folder` to its end, its output added to the folder's
// commands.log (the tests' own folder may be closed to the server's user);
// true when it succeeded.
bool run(std::vector<std::string> command, const fs::path& folder) {
    const auto log = folder / "commands.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const auto pid = spawn(std::move(command), actions);
    if (!pid) {
        return false;
    }
    int status = 0;
    ::waitpid(*pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int freeLoopbackPort() {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    const bool bound =
        ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(socket);
    if (!bound) {
        throw std::runtime_error("no free loopback port");
    }
    return ntohs(address.sin_port);
}

// The server's files must be its user's.
void giveToServerUser(const fs::path& folder) {
    if (!runningAsRoot()) {
        return;
    }
    const passwd* user = ::getpwnam(ServerUser);
    if (user == nullptr || ::chown(folder.c_str(), user->pw_uid, user->pw_gid) != 0) {
        throw std::runtime_error("cannot give " + folder.string() + " to " + ServerUser);
    }
}

}  // namespace

PostgresServer& PostgresServer::shared() {
    static PostgresServer server;
    return server;
}

PostgresServer::PostgresServer(const std::vector<std::string>& settings) {
    for (const auto& setting : settings) {
        settings_ += " -c " + setting;
    }
    giveToServerUser(dir_.path());
    if (!run(asServerUser({Programs + "initdb", "-D", dataDir().string(), "-U", "postgres", "-A",
                           "trust", "-E", "UTF8", "--locale=C", "--no-sync"}),
             dir_.path())) {
        throw std::runtime_error("initdb failed: see " + (dir_.path() / "commands.log").string());
    }
    startOnFreePort();
}

PostgresServer::PostgresServer(const PostgresServer& primary, const std::string& name) {
    giveToServerUser(dir_.path());
    // -R leaves the connection to the primary in the copy's settings, the
    // name with it, and starts the copy as its standby.
    if (!run(asServerUser({Programs + "pg_basebackup", "-D", dataDir().string(), "-R", "-X",
                           "stream", "--no-sync", "-d",
                           "host=127.0.0.1 port=" + std::to_string(primary.port_) +
                               " user=postgres application_name=" + name}),
             dir_.path())) {
        throw std::runtime_error("pg_basebackup failed: see " +
                                 (dir_.path() / "commands.log").string());
    }
    startOnFreePort();
}

void PostgresServer::watchOver() {
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    // It reads until the pipe's last writer, this process, has ended, then
    // runs the stop command its arguments hold and removes the folder.
    auto command =
        asServerUser({Programs + "pg_ctl", "-D", dataDir().string(), "-m", "immediate", "stop"});
    command.insert(command.begin(),
                   {"sh", "-c", R"(cat >/dev/null; folder=$1; shift; "$@"; rm -rf "$folder")",
                    "watchdog", dir_.path().string()});
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const auto pid = spawn(std::move(command), actions);
    ::close(ends[0]);
    if (!pid) {
        ::close(ends[1]);
        throw std::runtime_error("cannot start the server's watchdog");
    }
    watchdog_ = ends[1];
}

void PostgresServer::startOnFreePort() {
    watchOver();
    for (int attempt = 0; attempt < StartAttempts; ++attempt) {
        port_ = freeLoopbackPort();
        if (start()) {
            return;
        }
    }
    throw std::runtime_error("the PostgreSQL server did not start: see " +
                             (dir_.path() / "server.log").string());
}

fs::path PostgresServer::dataDir() const {
    return dir_.path() / "data";
}

bool PostgresServer::start() {
    // pg_ctl -w waits, within -t seconds, until the server takes connections.
    return run(asServerUser({Programs + "pg_ctl", "-D", dataDir().string(), "-l",
                             (dir_.path() / "server.log").string(), "-w", "-t", "60", "-o",
                             "-p " + std::to_string(port_) +
                                 " -c listen_addresses=127.0.0.1 -c unix_socket_directories=" +
                                 dir_.path().string() + " -c fsync=off" + settings_,
                             "start"}),
               dir_.path());
}

bool PostgresServer::stop(const std::string& mode) {
    return run(
        asServerUser({Programs + "pg_ctl", "-D", dataDir().string(), "-m", mode, "-w", "stop"}),
        dir_.path());
}

void PostgresServer::crashAndRestart() {
    if (!stop("immediate") || !start()) {
        throw std::runtime_error("the PostgreSQL server did not restart: see " +
                                 (dir_.path() / "server.log").string());
    }
}

void PostgresServer::crash() {
    if (!stop("immediate")) {
        throw std::runtime_error("the PostgreSQL server did not stop: see " +
                                 (dir_.path() / "server.log").string());
    }
}

void PostgresServer::promote() {
    if (!run(asServerUser(
                 {Programs + "pg_ctl", "-D", dataDir().string(), "-w", "-t", "60", "promote"}),
             dir_.path())) {
        throw std::runtime_error("the PostgreSQL standby was not promoted: see " +
                                 (dir_.path() / "server.log").string());
    }
}

PostgresServer::~PostgresServer() {
    stop("fast");
    ::close(watchdog_);
}

std::string PostgresServer::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::string PostgresServer::uriOf(const std::string& database) const {
    return "postgresql://postgres@" + address() + "/" + database;
}

std::string PostgresServer::adminDatabase() const {
    return uriOf("postgres");
}

void PostgresServer::backUp(const std::string& database, const fs::path& file) const {
    if (!run({Programs + "pg_dump", "--format=custom", "--file=" + file.string(), database},
             dir_.path())) {
        throw std::runtime_error("pg_dump failed: see " + (dir_.path() / "commands.log").string());
    }
}

std::string PostgresServer::restore(const fs::path& file) {
    auto database = newDatabase();
    if (!run({Programs + "pg_restore", "--exit-on-error", "--dbname=" + database, file.string()},
             dir_.path())) {
        throw std::runtime_error("pg_restore failed: see " +
                                 (dir_.path() / "commands.log").string());
    }
    return database;
}

std::string PostgresServer::createDatabase() {
    std::string name = "election_" + std::to_string(++databases_);
    server::PgConnection(adminDatabase())
        .execute("CREATE DATABASE " + name + " TEMPLATE template0 ENCODING 'UTF8'");
    return name;
}

std::string PostgresServer::newDatabase() {
    return uriOf(createDatabase());
}

std::string PostgresServer::newDatabaseWithStandby(const PostgresServer& standby) {
    // libpq tries the hosts in order, passing over any that is down or
    // takes no writes (a standby not yet promoted).
    return "postgresql://postgres@" + address() + "," + standby.address() + "/" + createDatabase() +
           "?target_session_attrs=read-write";
}

}  // namespace ardenax::testing
