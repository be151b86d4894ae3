#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace ardenax::bench {

// Where the machine's processor time went while a load ran, in seconds
// counted from the meter's start: the load generator (this process), the
// vote servers, the database's server processes, the kernel's interrupt
// work (much of loopback networking, counted to no process), and the rest
// (the kernel's other threads, such as the disk's, and other programs).
struct CpuSpent {
    double generator = 0;
    double servers = 0;
    double database = 0;
    double interrupts = 0;
    double rest = 0;
    double idle = 0;
};

class CpuMeter {
public:
    CpuMeter(std::vector<pid_t> servers, std::vector<pid_t> database);

    CpuSpent spent() const;

    // The processes of the PostgreSQL server behind `uri`: its backends and
    // its own workers.
    static std::vector<pid_t> postgresProcesses(const std::string& uri);

private:
    struct Totals {
        double generator = 0;
        double servers = 0;
        double database = 0;
        double interrupts = 0;
        double busy = 0;
        double idle = 0;
    };

    Totals now() const;

    std::vector<pid_t> servers_;
    std::vector<pid_t> database_;
    Totals start_;
};

}  // namespace ardenax::bench
