#include <map>

#include <gtest/gtest.h>

#include "crypto/toolkit/Digest.h"
#include "crypto/toolkit/Encoding.h"
#include "server/MerkleTree.h"

namespace ardenax::server {
namespace {

using merkle::Hash;

// RFC 6962's MTH, as the RFC writes it, over the leaves' data.
Hash referenceRoot(const std::vector<std::string>& leaves, std::size_t start, std::size_t size) {
    if (size == 0) {
        return toolkit::sha256("");
    }
    if (size == 1) {
        return toolkit::sha256(std::string(1, '\0') + leaves[start]);
    }
    std::size_t k = 1;
    while (k * 2 < size) {
        k *= 2;
    }
    return toolkit::sha256("\x01" + referenceRoot(leaves, start, k) +
                           referenceRoot(leaves, start + k, size - k));
}

// A board kept in memory as the store keeps it: the nodes each leaf adds.
struct KeptTree {
    std::map<std::pair<int, std::uint64_t>, Hash> nodes;
    std::vector<std::string> leaves;

    BoardTree::NodeReader reader() const {
        return [this](int level, std::uint64_t position) { return nodes.at({level, position}); };
    }
    void add(const std::string& data) {
        for (const auto& [level, hash] :
             BoardTree::nodesOfLeaf(leaves.size(), merkle::leafHash(data), reader())) {
            nodes[{level, leaves.size() >> static_cast<unsigned>(level)}] = hash;
        }
        leaves.push_back(data);
    }
};

// Every size up to 70 (every shape of the top of the tree, and a few of its
// sides): the kept nodes, and the leaves streamed, give RFC 6962's root, and every inclusion and
// consistency proof checks, while a proof that is wrong in one hash does not.
TEST(MerkleTree, KeptNodesGiveTheRootsAndProofsOfRfc6962) {
    KeptTree kept;
    EXPECT_EQ(toolkit::toHex(BoardTree(kept.reader()).root(0)),
              "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
    for (int i = 0; i < 70; ++i) {
        kept.add(toolkit::sha256(std::to_string(i)));
    }
    const BoardTree tree(kept.reader());
    merkle::RootBuilder streamed;
    for (std::uint64_t size = 1; size <= kept.leaves.size(); ++size) {
        const Hash root = tree.root(size);
        ASSERT_EQ(root, referenceRoot(kept.leaves, 0, size)) << size;
        streamed.add(merkle::leafHash(kept.leaves[size - 1]));
        ASSERT_EQ(streamed.root(), root) << size;
        for (std::uint64_t index = 0; index < size; ++index) {
            auto path = tree.inclusionPath(index, size);
            const Hash leaf = merkle::leafHash(kept.leaves[index]);
            EXPECT_TRUE(merkle::verifyInclusion(leaf, index, size, path, root)) << index << size;
            EXPECT_FALSE(merkle::verifyInclusion(leaf, index + 1, size, path, root));
            if (!path.empty()) {
                path.back()[0] = static_cast<char>(path.back()[0] ^ 1);
                EXPECT_FALSE(merkle::verifyInclusion(leaf, index, size, path, root));
            }
        }
        for (std::uint64_t first = 0; first <= size; ++first) {
            auto path = tree.consistencyPath(first, size);
            const Hash firstRoot = tree.root(first);
            EXPECT_TRUE(merkle::verifyConsistency(first, size, firstRoot, root, path))
                << first << " " << size;
            if (first > 0 && first < size) {
                EXPECT_FALSE(
                    merkle::verifyConsistency(first, size, tree.root(first - 1), root, path));
                path.front()[0] = static_cast<char>(path.front()[0] ^ 1);
                EXPECT_FALSE(merkle::verifyConsistency(first, size, firstRoot, root, path));
            }
        }
    }
}

}  // namespace
}  // namespace ardenax::server
