#include "server/ReferenceServer.h"

#include <optional>

#include "crypto/toolkit/Pki.h"
#include "server/BoardKey.h"
#include "server/BoardRoutes.h"
#include "server/ElectionDatabase.h"
#include "server/FormEndpoint.h"
#include "server/HttpsListener.h"
#include "server/PageRoutes.h"
#include "server/Promotor.h"
#include "server/Smv.h"
#include "server/SqliteElectionStore.h"
#include "support/Failure.h"
#include "support/StagedFile.h"

namespace ardenax::server {
namespace {

std::unique_ptr<ElectionStore> openDatabase(const std::string& database) {
    if (database.empty()) {
        throw Failure(Failure::InvalidProcedureCall, u"No database file given", u"ReferenceServer");
    }
    if (!isDatabaseUri(database) && !std::filesystem::exists(database)) {
        SqliteElectionStore::createDemo(database);
    }
    return openElectionStore(database);
}

// Never written through a link planted at its name or beside it.
void publish(const std::filesystem::path& file, const std::string& content) {
    const auto folder =
        file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
    StagedFile(folder, content, StagedFile::Readers::Everyone).replace(file);
}

std::filesystem::path boardKeyFileIn(const ReferenceServer::Options& options) {
    if (!options.boardKeyFile.empty()) {
        return options.boardKeyFile;
    }
    // Every vote server of an election signs with one key, which none of
    // them could find beside a database on another machine.
    if (isDatabaseUri(options.database)) {
        throw Failure(Failure::InvalidProcedureCall,
                      u"An SMV over a database server needs its board key file",
                      u"ReferenceServer");
    }
    return boardKeyFileOf(options.database);
}

// Only the SMV signs the board; a Promotor needs no key. Its certificate is
// published beside it for verifiers.
std::optional<toolkit::Certificate> openBoardKeyOf(const ReferenceServer::Options& options) {
    if (options.role == ReferenceServer::Role::Promotor) {
        return std::nullopt;
    }
    auto key = openBoardKey(boardKeyFileIn(options));
    publish(boardCertificateFileOf(boardKeyFileIn(options)), toolkit::certificatePem(key));
    return key;
}

}  // namespace

const std::size_t ReferenceServer::MaxRequestLength = HttpsListener::MaxRequestLength;
const std::size_t ReferenceServer::MaxConnectionBytes = HttpsListener::MaxConnectionBytes;

struct ReferenceServer::State {
    explicit State(const Options& options)
        : store(openDatabase(options.database)),
          promotor(*store),
          smv(*store, options.votesClosed),
          boardKey(openBoardKeyOf(options)),
          boardCertificateFile(boardKey ? boardCertificateFileOf(boardKeyFileIn(options))
                                        : std::filesystem::path()),
          listener({.address = options.address,
                    .port = options.port,
                    .name = options.name,
                    .certificateFile = options.certificateFile,
                    .keyFile = options.keyFile,
                    .connectionDeadline = options.connectionDeadline}) {
        if (options.role != Role::Smv) {
            addFormEndpoint(listener,
                            {std::string(PromotorPath),
                             "ArdenaX Promotor",
                             "ArdenaX reference Promotor: POST certificate, alg and "
                             "the credentials here for a voting token.",
                             [this](const auto& fields) { return promotor.answer(fields); },
                             {}});
            addPageRoutes(listener, *store, options.webRoot);
        }
        if (options.role != Role::Promotor) {
            addFormEndpoint(listener, {std::string(SmvPath), "ArdenaX SMV",
                                       "ArdenaX reference SMV: POST pin, token and vote here.",
                                       [this](const auto& fields) { return smv.answer(fields); },
                                       options.voteDelay});
            addBoardRoutes(listener, *store, *boardKey);
        }
        listener.start();
    }

    std::unique_ptr<ElectionStore> store;
    Promotor promotor;
    Smv smv;
    std::optional<toolkit::Certificate> boardKey;
    std::filesystem::path boardCertificateFile;
    // Last, so that it stops serving before the rest goes.
    HttpsListener listener;
};

ReferenceServer::ReferenceServer(const Options& options)
    : state_(std::make_unique<State>(options)) {}

ReferenceServer::~ReferenceServer() {
    stop();
}

void ReferenceServer::stop() {
    state_->listener.stop();
}

int ReferenceServer::port() const {
    return state_->listener.port();
}

std::string ReferenceServer::baseUrl() const {
    return state_->listener.baseUrl();
}

std::string ReferenceServer::promotorUrl() const {
    return baseUrl() + std::string(PromotorPath);
}

std::string ReferenceServer::smvUrl() const {
    return baseUrl() + std::string(SmvPath);
}

const std::string& ReferenceServer::caPem() const {
    return state_->listener.caPem();
}

const std::string& ReferenceServer::publicKeyPin() const {
    return state_->listener.publicKeyPin();
}

void ReferenceServer::writeCaFile(const std::filesystem::path& file) const {
    publish(file, caPem());
}

const std::filesystem::path& ReferenceServer::boardCertificateFile() const {
    return state_->boardCertificateFile;
}

ElectionStore& ReferenceServer::store() {
    return *state_->store;
}

}  // namespace ardenax::server
