#include <gtest/gtest.h>

#include "LastLines.h"

namespace ardenax::app {
namespace {

// A program's output comes in pieces that need not end where its lines do.
TEST(LastLines, KeepsTheLastLinesWhereverThePiecesBreak) {
    LastLines last(3);
    last.add("one\ntw");
    last.add("o\n\nfo");
    EXPECT_EQ(last.lines(), (std::vector<std::string>{"two", "", "fo"}));
    last.add("ur\nfive\n");
    EXPECT_EQ(last.lines(), (std::vector<std::string>{"", "four", "five"}));
    EXPECT_EQ(LastLines(3).lines(), std::vector<std::string>{});
}

}  // namespace
}  // namespace ardenax::app
