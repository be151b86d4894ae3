#pragma once

#include <csignal>
#include <string>
#include <vector>

#include "integration/ChildProcess.h"
#include "support/Text.h"

namespace ardenax::testing {

// `ardenax serve` on an ephemeral port with `args`, and the URLs it prints
// once it is ready. Stopped when it goes, unless a test ended it already.
class ServeProcess {
public:
    explicit ServeProcess(std::vector<std::string> args)
        : process(ARDENAX_PROGRAM, withPort(std::move(args))) {
        for (auto line = process.readLine(); line && *line != "Ready."; line = process.readLine()) {
            if (line->starts_with("Promotor: ")) {
                promotorUrl = fromUtf8(line->substr(10));
            } else if (line->starts_with("SMV: ")) {
                smvUrl = fromUtf8(line->substr(5));
            }
        }
    }
    ServeProcess(const ServeProcess&) = delete;
    ServeProcess& operator=(const ServeProcess&) = delete;
    ~ServeProcess() {
        if (process.pid() > 0) {
            process.kill(SIGTERM);
        }
    }

    ChildProcess process;
    Text promotorUrl;
    Text smvUrl;

private:
    static std::vector<std::string> withPort(std::vector<std::string> args) {
        args.insert(args.begin(), {"serve", "--port", "0"});
        return args;
    }
};

}  // namespace ardenax::testing
