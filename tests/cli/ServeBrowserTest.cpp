#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "common/TempDir.h"
#include "integration/ChildProcess.h"

namespace ardenax {
namespace {

namespace fs = std::filesystem;

// `ardenax serve --browser` with a "chromium" of the test's on PATH that
// writes `lines` to its standard error and ends with `status` at once.
class ServeBrowser : public ::testing::Test {
protected:
    struct Run {
        int status = -1;
        std::vector<std::string> out;
        std::string err;
    };

    Run serveWithBrowser(const std::string& lines, int status) const {
        fs::create_directories(dir.path() / "bin");
        const auto browser = dir.path() / "bin" / "chromium";
        std::ofstream(browser) << "#!/bin/sh\nprintf '" << lines << "' >&2\nexit " << status
                               << '\n';
        fs::permissions(browser, fs::perms::owner_all);
        const auto log = dir.path() / "err";
        testing::ChildProcess serve(
            "/bin/sh",
            {"-c", "exec \"$@\" 2>\"$0\"", log.string(), ARDENAX_PROGRAM, "serve", "--port", "0",
             "--db", (dir.path() / "election.db").string(), "--browser"},
            {.variables = {"PATH=" + (dir.path() / "bin").string() + ":/usr/bin:/bin"}});
        Run run;
        while (const auto line = serve.readLine()) {
            run.out.push_back(*line);
        }
        run.status = serve.wait();
        std::ifstream in(log);
        run.err.assign(std::istreambuf_iterator<char>(in), {});
        return run;
    }

    testing::TempDir dir;
};

// A browser that cannot start (Chromium as root without --no-sandbox, say)
// ends serve with a failure and its own last words, not a quiet success.
TEST_F(ServeBrowser, ABrowserThatFailsEndsServeWithItsLastLines) {
    std::string lines;
    for (int n = 1; n <= 12; ++n) {
        lines += "line " + std::to_string(n) + (n < 12 ? "\\n" : "");
    }
    const auto run = serveWithBrowser(lines, 3);
    EXPECT_EQ(run.status, 1) << run.err;
    ASSERT_GE(run.out.size(), 3U);
    EXPECT_EQ(std::vector<std::string>(run.out.end() - 3, run.out.end()),
              (std::vector<std::string>{"Ready.", "The browser has ended.", "Stopped."}));
    EXPECT_TRUE(
        run.err.ends_with("line 12\nardenax serve: the browser ended with exit status 3; "
                          "its last lines:\n  line 3\n  line 4\n  line 5\n  line 6\n"
                          "  line 7\n  line 8\n  line 9\n  line 10\n  line 11\n"
                          "  line 12\n"))
        << run.err;
}

// Closing the browser is the ordinary way to stop serve.
TEST_F(ServeBrowser, ABrowserThatIsClosedStopsServeQuietly) {
    const auto run = serveWithBrowser("closing\\n", 0);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.back(), "Stopped.");
    EXPECT_EQ(run.err.find("ardenax serve: the browser"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace ardenax
