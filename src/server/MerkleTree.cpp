#include "server/MerkleTree.h"

#include <bit>

#include "crypto/toolkit/Digest.h"

namespace ardenax::server {
namespace {

// The largest power of two below `n` (n > 1).
std::uint64_t split(std::uint64_t n) {
    return std::bit_floor(n - 1);
}

bool lowestBit(std::uint64_t n) {
    return (n & 1U) != 0;
}

}  // namespace

namespace merkle {

Hash leafHash(std::string_view data) {
    return toolkit::sha256(std::string(1, '\0') + std::string(data));
}

Hash nodeHash(std::string_view left, std::string_view right) {
    return toolkit::sha256("\x01" + std::string(left) + std::string(right));
}

Hash emptyRoot() {
    return toolkit::sha256("");
}

bool verifyInclusion(const Hash& leaf, std::uint64_t index, std::uint64_t size,
                     const std::vector<Hash>& path, const Hash& root) {
    if (index >= size) {
        return false;
    }
    std::uint64_t fn = index;
    std::uint64_t sn = size - 1;
    Hash r = leaf;
    for (const auto& p : path) {
        if (sn == 0) {
            return false;
        }
        if (lowestBit(fn) || fn == sn) {
            r = nodeHash(p, r);
            while (!lowestBit(fn) && fn != 0) {
                fn >>= 1U;
                sn >>= 1U;
            }
        } else {
            r = nodeHash(r, p);
        }
        fn >>= 1U;
        sn >>= 1U;
    }
    return sn == 0 && r == root;
}

bool verifyConsistency(std::uint64_t first, std::uint64_t second, const Hash& firstRoot,
                       const Hash& secondRoot, const std::vector<Hash>& path) {
    if (first > second) {
        return false;
    }
    if (first == second) {
        return path.empty() && firstRoot == secondRoot;
    }
    if (first == 0) {
        return path.empty();
    }
    std::vector<Hash> proof = path;
    if (std::has_single_bit(first)) {
        proof.insert(proof.begin(), firstRoot);
    }
    if (proof.empty()) {
        return false;
    }
    std::uint64_t fn = first - 1;
    std::uint64_t sn = second - 1;
    while (lowestBit(fn)) {
        fn >>= 1U;
        sn >>= 1U;
    }
    Hash fr = proof[0];
    Hash sr = proof[0];
    for (std::size_t i = 1; i < proof.size(); ++i) {
        if (sn == 0) {
            return false;
        }
        if (lowestBit(fn) || fn == sn) {
            fr = nodeHash(proof[i], fr);
            sr = nodeHash(proof[i], sr);
            while (!lowestBit(fn) && fn != 0) {
                fn >>= 1U;
                sn >>= 1U;
            }
        } else {
            sr = nodeHash(sr, proof[i]);
        }
        fn >>= 1U;
        sn >>= 1U;
    }
    return fr == firstRoot && sr == secondRoot && sn == 0;
}

void RootBuilder::add(Hash leaf) {
    subtrees_.push_back(std::move(leaf));
    // Each trailing 1 bit of the old size is a subtree the new leaf completes.
    for (std::uint64_t size = size_; (size & 1U) != 0; size >>= 1U) {
        Hash right = std::move(subtrees_.back());
        subtrees_.pop_back();
        subtrees_.back() = nodeHash(subtrees_.back(), right);
    }
    ++size_;
}

Hash RootBuilder::root() const {
    if (subtrees_.empty()) {
        return emptyRoot();
    }
    Hash root = subtrees_.back();
    for (auto subtree = subtrees_.rbegin() + 1; subtree != subtrees_.rend(); ++subtree) {
        root = nodeHash(*subtree, root);
    }
    return root;
}

}  // namespace merkle

using merkle::Hash;

Hash BoardTree::root(std::uint64_t size) const {
    return size == 0 ? merkle::emptyRoot() : subtree(0, size);
}

// The root of leaves [start, start + size): a kept node when they are one
// complete subtree, else the two halves RFC 6962 splits them into. Every left
// half of that recursion starts at a multiple of its own size, so it is kept.
Hash BoardTree::subtree(std::uint64_t start, std::uint64_t size) const {
    if (std::has_single_bit(size) && start % size == 0) {
        return read_(std::countr_zero(size), start / size);
    }
    const std::uint64_t k = split(size);
    return merkle::nodeHash(subtree(start, k), subtree(start + k, size - k));
}

std::vector<Hash> BoardTree::inclusionPath(std::uint64_t index, std::uint64_t size) const {
    std::vector<Hash> into;
    path(index, 0, size, into);
    return into;
}

void BoardTree::path(std::uint64_t index, std::uint64_t start, std::uint64_t size,
                     std::vector<Hash>& into) const {
    if (size <= 1) {
        return;
    }
    const std::uint64_t k = split(size);
    if (index < k) {
        path(index, start, k, into);
        into.push_back(subtree(start + k, size - k));
    } else {
        path(index - k, start + k, size - k, into);
        into.push_back(subtree(start, k));
    }
}

std::vector<Hash> BoardTree::consistencyPath(std::uint64_t first, std::uint64_t second) const {
    std::vector<Hash> into;
    if (first > 0 && first < second) {
        subproof(first, 0, second, true, into);
    }
    return into;
}

void BoardTree::subproof(std::uint64_t first, std::uint64_t start, std::uint64_t size, bool whole,
                         std::vector<Hash>& into) const {
    if (first == size) {
        if (!whole) {
            into.push_back(subtree(start, size));
        }
        return;
    }
    const std::uint64_t k = split(size);
    if (first <= k) {
        subproof(first, start, k, whole, into);
        into.push_back(subtree(start + k, size - k));
    } else {
        subproof(first - k, start + k, size - k, false, into);
        into.push_back(subtree(start, k));
    }
}

std::vector<std::pair<int, Hash>> BoardTree::nodesOfLeaf(std::uint64_t index, Hash leaf,
                                                         const NodeReader& read) {
    std::vector<std::pair<int, Hash>> nodes{{0, leaf}};
    int level = 0;
    for (std::uint64_t position = index; lowestBit(position); position >>= 1U) {
        nodes.emplace_back(level + 1,
                           merkle::nodeHash(read(level, position - 1), nodes.back().second));
        ++level;
    }
    return nodes;
}

}  // namespace ardenax::server
