#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "common/Failures.h"
#include "common/TempDir.h"
#include "support/Logger.h"

namespace ardenax {
namespace {

using namespace std::chrono;
namespace fs = std::filesystem;

Logger::DateSource fixedDate(year_month_day date) {
    return [date] { return date; };
}

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Logger, FileNameHasNoLeadingZeros) {
    const testing::TempDir documents;
    const auto folder = documents.path() / "TestCert";
    EXPECT_EQ(Logger(documents.path(), fixedDate(2013y / January / 18)).getFileName(),
              fromUtf8((folder / "TestCert_2013118.txt").string()));
    EXPECT_EQ(Logger(documents.path(), fixedDate(2013y / November / 5)).getFileName(),
              fromUtf8((folder / "TestCert_2013115.txt").string()));
    EXPECT_EQ(Logger(documents.path(), fixedDate(2013y / January / 15)).getFileName(),
              fromUtf8((folder / "TestCert_2013115.txt").string()));
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST(Logger, WritesOnlyWhenSwitchedOnSingleByteLinesEndedByCrLf) {
    const testing::TempDir documents;
    Logger logger(documents.path(), fixedDate(2026y / December / 6));
    EXPECT_FALSE(logger.IsDebugEnabled());
    logger.writeDebug(u"line");
    EXPECT_TRUE(fs::is_empty(documents.path()));
    logger.setDebugEnabled(true);
    logger.writeDebug(u"começo €");
    logger.writeDebug(u"");
    logger.writeDebug(u"fim");
    EXPECT_EQ(contents(documents.path() / "TestCert" / "TestCert_2026126.txt"),
              "come\xE7o \x80\r\n\r\nfim\r\n");
}

// A plain file where the folder should be, or a folder that cannot be made,
// silences the log; only getFileName reports the failure.
TEST(Logger, FolderThatCannotBeUsedSilencesIt) {
    const testing::TempDir documents;
    std::ofstream(documents.path() / "TestCert") << "squatter";
    for (const auto& folder : {documents.path(), documents.path() / "missing"}) {
        Logger logger(folder, fixedDate(2026y / December / 6));
        logger.setDebugEnabled(true);
        logger.writeDebug(u"line");
    }
    EXPECT_EQ(contents(documents.path() / "TestCert"), "squatter");
    EXPECT_FALSE(fs::exists(documents.path() / "missing"));
    EXPECT_NE(testing::failureNumber([&] {
                  Logger(documents.path() / "missing", fixedDate(2026y / May / 1)).getFileName();
              }),
              0);
}

}  // namespace
}  // namespace ardenax
