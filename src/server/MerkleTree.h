#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "crypto/toolkit/Bytes.h"

namespace ardenax::server {

// The bulletin board's hash tree, as RFC 6962 section 2.1 (and RFC 9162 for
// checking proofs) has it: 32-byte SHA-256 values throughout.
namespace merkle {

using Hash = toolkit::Bytes;

// SHA-256(0x00 || data).
Hash leafHash(std::string_view data);
// SHA-256(0x01 || left || right).
Hash nodeHash(std::string_view left, std::string_view right);
// The root of the tree of no leaves: SHA-256 of nothing.
Hash emptyRoot();

// Whether `path` proves that the leaf of hash `leaf` is leaf `index` of the
// tree of `size` leaves whose root is `root`.
bool verifyInclusion(const Hash& leaf, std::uint64_t index, std::uint64_t size,
                     const std::vector<Hash>& path, const Hash& root);
// Whether `path` proves that the tree of `first` leaves and root `firstRoot`
// is the start of the tree of `second` leaves and root `secondRoot`.
bool verifyConsistency(std::uint64_t first, std::uint64_t second, const Hash& firstRoot,
                       const Hash& secondRoot, const std::vector<Hash>& path);

// The root of a tree whose leaves come one at a time, at every size on the
// way, in memory that grows with the tree's height only.
class RootBuilder {
public:
    void add(Hash leaf);
    std::uint64_t size() const { return size_; }
    Hash root() const;

private:
    // The roots of the complete subtrees the leaves so far make, largest first.
    std::vector<Hash> subtrees_;
    std::uint64_t size_ = 0;
};

}  // namespace merkle

// A tree whose complete subtrees are kept: the node at `level`, `position`
// covers leaves [position * 2^level, (position + 1) * 2^level), level 0
// holding the leaves' hashes. Every root and proof reads a number of them
// that grows with the tree's height only.
class BoardTree {
public:
    using NodeReader = std::function<merkle::Hash(int level, std::uint64_t position)>;

    explicit BoardTree(NodeReader read) : read_(std::move(read)) {}

    merkle::Hash root(std::uint64_t size) const;
    // The audit path of leaf `index` in the tree of `size` leaves.
    std::vector<merkle::Hash> inclusionPath(std::uint64_t index, std::uint64_t size) const;
    // The proof that the tree of `first` leaves is the start of that of `second`.
    std::vector<merkle::Hash> consistencyPath(std::uint64_t first, std::uint64_t second) const;

    // The nodes the tree keeps once leaf `index`, of hash `leaf`, is added to
    // the leaves before it, read through `read`: level 0 first, then each
    // subtree it completes.
    static std::vector<std::pair<int, merkle::Hash>> nodesOfLeaf(std::uint64_t index,
                                                                 merkle::Hash leaf,
                                                                 const NodeReader& read);

private:
    merkle::Hash subtree(std::uint64_t start, std::uint64_t size) const;
    void path(std::uint64_t index, std::uint64_t start, std::uint64_t size,
              std::vector<merkle::Hash>& into) const;
    void subproof(std::uint64_t first, std::uint64_t start, std::uint64_t size, bool whole,
                  std::vector<merkle::Hash>& into) const;

    NodeReader read_;
};

}  // namespace ardenax::server
