#include "CpuUse.h"

#include <algorithm>
#include <fstream>
#include <numeric>
#include <sstream>
#include <unistd.h>

#include "server/PgConnection.h"

namespace ardenax::bench {
namespace {

double ticksPerSecond() {
    return static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// User and system time of a process, all its threads; 0 once it is gone.
double processSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The name, in parentheses, may hold spaces: the fields after it count
    // from its end. utime and stime are the stat's 14th and 15th fields.
    const auto nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos) {
        return 0;
    }
    std::istringstream fields(line.substr(nameEnd + 2));
    std::string skipped;
    for (int field = 3; field < 14; ++field) {
        fields >> skipped;
    }
    double user = 0;
    double system = 0;
    fields >> user >> system;
    return (user + system) / ticksPerSecond();
}

double sumOf(const std::vector<pid_t>& pids) {
    return std::accumulate(pids.begin(), pids.end(), 0.0,
                           [](double sum, pid_t pid) { return sum + processSeconds(pid); });
}

}  // namespace

CpuMeter::CpuMeter(std::vector<pid_t> servers, std::vector<pid_t> database)
    : servers_(std::move(servers)), database_(std::move(database)), start_(now()) {}

CpuMeter::Totals CpuMeter::now() const {
    Totals totals{processSeconds(::getpid()), sumOf(servers_), sumOf(database_), 0, 0, 0};
    // The first line of /proc/stat: the ticks of every core, by kind.
    std::ifstream stat("/proc/stat");
    std::string cpu;
    double user = 0;
    double nice = 0;
    double system = 0;
    double idle = 0;
    double iowait = 0;
    double irq = 0;
    double softirq = 0;
    double steal = 0;
    stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    totals.interrupts = (irq + softirq) / ticksPerSecond();
    totals.busy = (user + nice + system + irq + softirq + steal) / ticksPerSecond();
    totals.idle = (idle + iowait) / ticksPerSecond();
    return totals;
}

CpuSpent CpuMeter::spent() const {
    const Totals end = now();
    CpuSpent spent{end.generator - start_.generator,
                   end.servers - start_.servers,
                   end.database - start_.database,
                   end.interrupts - start_.interrupts,
                   0,
                   end.idle - start_.idle};
    // The processes' counters and the machine's are sampled apart, so on a
    // quiet machine the difference may come out a little below zero.
    spent.rest = std::max(0.0, end.busy - start_.busy - spent.generator - spent.servers -
                                   spent.database - spent.interrupts);
    return spent;
}

std::vector<pid_t> CpuMeter::postgresProcesses(const std::string& uri) {
    server::PgConnection connection(uri);
    const auto rows =
        connection.run("SELECT pid FROM pg_stat_activity WHERE pid <> pg_backend_pid()");
    std::vector<pid_t> pids;
    pids.reserve(static_cast<std::size_t>(rows.rows()));
    for (int row = 0; row < rows.rows(); ++row) {
        pids.push_back(static_cast<pid_t>(rows.integer(row, 0)));
    }
    return pids;
}

}  // namespace ardenax::bench
