#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

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

    // Raises a failure when the browser or the host cannot be found or started.
    explicit BrowserSession(const Options& options);
    BrowserSession(const BrowserSession&) = delete;
    BrowserSession& operator=(const BrowserSession&) = delete;
    ~BrowserSession();

    const std::filesystem::path& profile() const { return profile_.path; }
    const std::string& program() const { return program_; }
    // True once the browser has ended (it reaps the process).
    bool ended();

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
    pid_t pid_ = -1;
};

}  // namespace ardenax::app
