#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ardenax::bench {

// An election made for a load run as its operator makes one, with
// `ardenax election new`, in a folder (its database a file there) or in a
// PostgreSQL database; and a token for each of its voters, obtained from a
// Promotor process over it that is stopped again, so that only the vote
// servers run while the load does.
class LoadElection {
public:
    LoadElection(const std::filesystem::path& folder, std::optional<std::string> postgresUri,
                 int voters);

    // What `serve --db` takes: the file, or the PostgreSQL URI.
    const std::string& database() const { return database_; }
    const std::vector<std::string>& tokens() const { return tokens_; }
    // As the Promotor gives them: what a vote is sealed for and bears.
    const std::string& certificate() const { return certificate_; }
    const std::string& potency() const { return potency_; }

private:
    void make(const std::filesystem::path& folder, int voters) const;
    void obtainTokens(const std::filesystem::path& folder, int voters);

    std::string database_;
    bool postgres_;
    std::vector<std::string> tokens_;
    std::string certificate_;
    std::string potency_;
};

}  // namespace ardenax::bench
