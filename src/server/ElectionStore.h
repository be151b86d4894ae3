#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/ElectionRecords.h"
#include "server/MerkleTree.h"

namespace ardenax::server {

// Where an election's servers keep what they share: the election, its voters,
// the tokens issued and the ballot box. Every rule that spans requests holds
// within it, for every server over the same store: a vote is stored with its
// checks in one transaction. Safe to use from several threads.
class ElectionStore {
public:
    ElectionStore() = default;
    ElectionStore(const ElectionStore&) = delete;
    ElectionStore& operator=(const ElectionStore&) = delete;
    virtual ~ElectionStore() = default;

    // Fixed once made.
    virtual const Election& election() const = 0;

    virtual std::optional<VoterRecord> findVoter(const std::string& login) = 0;
    // A fresh random token bound to the voter and their certificate (Base64 DER).
    virtual std::string issueToken(const std::string& login,
                                   const std::string& certificateBase64) = 0;
    virtual std::optional<IssuedToken> findToken(const std::string& token) = 0;
    // The token issued last to `login`, if any.
    virtual std::optional<std::string> latestToken(const std::string& login) = 0;

    // Stores a received vote and returns it as stored, with its row id. A vote
    // that counts becomes its voter's counting vote (the one it replaces stays
    // stored), unless its submission was accepted before or its token is not
    // the latest issued to its voter: it is then stored refused, with the
    // refusal as its verdict. Checked and stored in one transaction.
    virtual BallotBoxEntry storeVote(BallotBoxEntry entry) = 0;
    // The accepted vote of that submission, if any.
    virtual std::optional<BallotBoxEntry> findSubmission(const std::string& submission) = 0;
    // Every vote received, oldest first; at most one per voter counts.
    virtual std::vector<BallotBoxEntry> votes() = 0;

    // The bulletin board: a leaf for each vote accepted (re-votes each
    // their own), its data the vote's receipt, in the order the votes were
    // stored; storeVote appends it in the transaction that stores the vote.
    // Nothing of the voter, the token or a later vote goes with it.
    struct BoardLeaf {
        std::uint64_t index = 0;
        // base64url, as receiptOf gives it.
        std::string receipt;
        std::string addedAt;

        bool operator==(const BoardLeaf&) const = default;
    };
    virtual std::uint64_t boardSize() = 0;
    // The leaves from `start` up to, not including, `end`.
    virtual std::vector<BoardLeaf> boardLeaves(std::uint64_t start, std::uint64_t end) = 0;
    virtual std::optional<std::uint64_t> boardIndexOf(const std::string& receipt) = 0;
    // A kept node of the board's tree (see BoardTree), below boardSize().
    virtual merkle::Hash boardNode(int level, std::uint64_t position) = 0;

    // The refusals a vote may be stored with by the store's own checks.
    static constexpr std::string_view Replayed = "ERROR the vote was received before";
    static constexpr std::string_view Superseded = "ERROR the token is not the voter's latest";
};

}  // namespace ardenax::server
