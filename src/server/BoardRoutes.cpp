#include "server/BoardRoutes.h"

#include <charconv>
#include <optional>

#include <nlohmann/json.hpp>

#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Pki.h"
#include "server/BoardHead.h"
#include "server/MerkleTree.h"

namespace ardenax::server {
namespace {

constexpr std::uint64_t MaxEntriesPerRequest = 10000;

// Uncompressed: a board's pages of hashes gain little from it (a page of
// entries took 0.8 s to compress).
void answerJson(httplib::Response& response, std::string json) {
    response.set_header("Access-Control-Allow-Origin", "*");
    response.set_header("Cache-Control", "no-store");
    HttpsListener::sendUncompressed(response, std::move(json), "application/json");
}

// A short body of its own, which the listener's error page leaves in place.
void refuse(httplib::Response& response, int status, const std::string& why) {
    response.set_header("Access-Control-Allow-Origin", "*");
    response.set_content(nlohmann::ordered_json{{"error", why}}.dump(), "application/json");
    response.status = status;
}

// A leaf index or a tree size: decimal digits only.
std::optional<std::uint64_t> number(const httplib::Request& request, const char* name) {
    const std::string text = request.get_param_value(name);
    std::uint64_t value = 0;
    const auto* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

nlohmann::ordered_json pathJson(const std::vector<merkle::Hash>& path) {
    auto hashes = nlohmann::ordered_json::array();
    for (const auto& hash : path) {
        hashes.push_back(toolkit::base64UrlEncode(hash));
    }
    return hashes;
}

class Board {
public:
    Board(ElectionStore& store, const toolkit::Certificate& key)
        : store_(store), key_(key), tree_([&store](int level, std::uint64_t position) {
              return store.boardNode(level, position);
          }) {}

    void head(httplib::Response& response) const {
        const auto size = store_.boardSize();
        answerJson(response, BoardHead::signNow(size, tree_.root(size), key_).json());
    }

    void entries(const httplib::Request& request, httplib::Response& response) const {
        const auto start = number(request, "start");
        const auto end = number(request, "end");
        if (!start || !end || *start > *end || *end - *start > MaxEntriesPerRequest) {
            refuse(response, 400, "start and end must be indexes, end - start at most 10000");
            return;
        }
        auto entries = nlohmann::ordered_json::array();
        for (const auto& leaf : store_.boardLeaves(*start, *end)) {
            entries.push_back(
                {{"index", leaf.index}, {"receipt", leaf.receipt}, {"time", leaf.addedAt}});
        }
        answerJson(response, nlohmann::ordered_json{{"entries", std::move(entries)}}.dump());
    }

    void proof(const httplib::Request& request, httplib::Response& response) const {
        const auto size = number(request, "size");
        const std::string receipt = request.get_param_value("receipt");
        if (!size || *size > store_.boardSize() || !hashFromBase64Url(receipt)) {
            refuse(response, 400, "receipt must be 43 base64url characters, size a board size");
            return;
        }
        const auto index = store_.boardIndexOf(receipt);
        if (!index || *index >= *size) {
            refuse(response, 404,
                   "the receipt is not among the first " + std::to_string(*size) + " entries");
            return;
        }
        answerJson(response,
                   nlohmann::ordered_json{{"index", *index},
                                          {"size", *size},
                                          {"path", pathJson(tree_.inclusionPath(*index, *size))}}
                       .dump());
    }

    void consistency(const httplib::Request& request, httplib::Response& response) const {
        const auto first = number(request, "first");
        const auto second = number(request, "second");
        if (!first || !second || *first == 0 || *first > *second || *second > store_.boardSize()) {
            refuse(response, 400, "first and second must be board sizes, 0 < first <= second");
            return;
        }
        answerJson(
            response,
            nlohmann::ordered_json{{"path", pathJson(tree_.consistencyPath(*first, *second))}}
                .dump());
    }

private:
    ElectionStore& store_;
    const toolkit::Certificate& key_;
    BoardTree tree_;
};

}  // namespace

void addBoardRoutes(HttpsListener& listener, ElectionStore& store,
                    const toolkit::Certificate& boardKey) {
    auto board = std::make_shared<Board>(store, boardKey);
    auto& routes = listener.routes();
    routes.Get("/smv/board/head", [board](const httplib::Request&, httplib::Response& response) {
        board->head(response);
    });
    routes.Get("/smv/board/certificate", [pem = toolkit::certificatePem(boardKey)](
                                             const httplib::Request&, httplib::Response& response) {
        response.set_header("Access-Control-Allow-Origin", "*");
        response.set_content(pem, "application/x-pem-file");
    });
    routes.Get("/smv/board/entries",
               [board](const httplib::Request& request, httplib::Response& response) {
                   board->entries(request, response);
               });
    routes.Get("/smv/board/proof",
               [board](const httplib::Request& request, httplib::Response& response) {
                   board->proof(request, response);
               });
    routes.Get("/smv/board/consistency",
               [board](const httplib::Request& request, httplib::Response& response) {
                   board->consistency(request, response);
               });
}

}  // namespace ardenax::server
