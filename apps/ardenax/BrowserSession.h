#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <sys/types.h>
#include <vector>

#include "FileDescriptor.h"
#include "LastLines.h"

namespace ardenax::app {

// A browser for a page developer: a throwaway profile with the extension
// loaded and the host registered in it, the host's settings in its
// environment, opened at one page. Ending the session ends the browser and
// removes the profile.
class BrowserSession {
public:
    struct Options {
        std::string browser;  // "chromium" or "chrome"
        std::string page;     // the URL to open
        // ARDENAX_* settings for the host the browser starts.
        std::map<std::string, std::string> hostSettings;
        // A server key pin the browser accepts although no authority it knows vouches for it.
        std::string acceptedKeyPin;
        std::vector<std::string> extraArguments;
    };
    // Where the browser runs from.
    struct Folders {
        std::filesystem::path profile;
        std::filesystem::path extension;
    };

    // True when the browser must run without its sandbox, which it refuses to
    // run as root with (`user` 0), unless the extra arguments already say so.
    static bool needsNoSandbox(const Options& options, uid_t user);
    // The browser's command line for `user`, its program first.
    static std::vector<std::string> commandLine(const std::string& program, const Options& options,
                                                const Folders& folders, uid_t user);

    // Raises a failure when the browser or the host cannot be found or started.
    explicit BrowserSession(const Options& options);
    BrowserSession(const BrowserSession&) = delete;
    BrowserSession& operator=(const BrowserSession&) = delete;
    ~BrowserSession();

    const std::filesystem::path& profile() const { return profile_.path; }
    const std::string& program() const { return program_; }
    // True when the browser runs without its sandbox because this is root.
    bool unsandboxed() const { return unsandboxed_; }

    // What the browser writes, on standard output and error alike, to poll.
    int output() const { return output_.get(); }
    // Copies to `err` what the browser wrote since the last call, keeping its
    // last lines; false once it will write no more.
    bool relay(std::ostream& err);
    // Relays the rest of what the ended browser wrote, ending its last line.
    void relayTheRest(std::ostream& err);

    // True once the browser has ended (it reaps the process).
    bool ended();
    // Once it has ended: why its end is a failure (a non-zero exit status or
    // a signal), nothing for a browser that was closed.
    std::optional<std::string> failure() const;
    std::vector<std::string> lastLines() const { return lastLines_.lines(); }

private:
    // Removed last, after the browser has ended.
    struct Profile {
        std::filesystem::path path;
        Profile() = default;
        Profile(const Profile&) = delete;
        Profile& operator=(const Profile&) = delete;
        ~Profile();
    };

    Profile profile_;
    std::string program_;
    bool unsandboxed_ = false;
    FileDescriptor output_;
    bool lineOpen_ = false;
    LastLines lastLines_{10};
    pid_t pid_ = -1;
    int status_ = 0;
};

}  // namespace ardenax::app
