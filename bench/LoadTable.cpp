#include "LoadTable.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace ardenax::bench {
namespace {

template <class... Values>
std::string formatted(const char* pattern, Values... values) {
    std::array<char, 160> text{};
    std::snprintf(text.data(), text.size(), pattern, values...);
    return text.data();
}

}  // namespace

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    const auto rank =
        static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    const auto at =
        values.begin() + static_cast<std::ptrdiff_t>(std::max<std::size_t>(rank, 1) - 1);
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

void LoadTable::add(std::string name, LoadResult result, CpuSpent cpu) {
    rows_.push_back({std::move(name), std::move(result), cpu});
}

double LoadTable::votesPerSecond(const LoadResult& result) {
    return result.seconds > 0 ? static_cast<double>(result.ok) / result.seconds : 0;
}

void LoadTable::print(std::ostream& out) const {
    printRates(out);
    printCpu(out);
    for (const auto& [name, result, cpu] : rows_) {
        for (const auto& [text, times] : result.failures) {
            out << name << ": " << times << " x " << text << '\n';
        }
    }
}

void LoadTable::printRates(std::ostream& out) const {
    out << formatted("%-22s %8s %9s %9s %9s %8s %8s %9s\n", "servers", "seconds", "votes/s",
                     "p50 ms", "p99 ms", "OK", "failed", "to first");
    for (const auto& [name, result, cpu] : rows_) {
        const double rate = votesPerSecond(result);
        const double first = votesPerSecond(rows_.front().result);
        const std::string ratio =
            &result == &rows_.front().result || first == 0 ? "-" : formatted("%.2fx", rate / first);
        out << formatted("%-22s %8.1f %9.1f %9.1f %9.1f %8zu %8zu %9s\n", name.c_str(),
                         result.seconds, rate, percentile(result.answerMillis, 0.5),
                         percentile(result.answerMillis, 0.99), result.ok, result.failed,
                         ratio.c_str());
    }
}

void LoadTable::printCpu(std::ostream& out) const {
    out << "\nProcessor time per OK vote, in ms, and its share of all the cores' time:\n"
        << formatted("%-22s %13s %13s %13s %13s %13s %5s\n", "servers", "generator", "SMVs",
                     "PostgreSQL", "interrupts", "rest", "idle");
    for (const auto& [name, result, cpu] : rows_) {
        const double total =
            cpu.generator + cpu.servers + cpu.database + cpu.interrupts + cpu.rest + cpu.idle;
        const double votes = static_cast<double>(std::max<std::size_t>(result.ok, 1));
        const auto part = [&](double seconds) {
            return formatted("%5.2f (%3.0f%%)", 1000 * seconds / votes,
                             total > 0 ? 100 * seconds / total : 0);
        };
        out << formatted("%-22s %13s %13s %13s %13s %13s %4.0f%%\n", name.c_str(),
                         part(cpu.generator).c_str(), part(cpu.servers).c_str(),
                         part(cpu.database).c_str(), part(cpu.interrupts).c_str(),
                         part(cpu.rest).c_str(), total > 0 ? 100 * cpu.idle / total : 0);
    }
    out << "(interrupts: the kernel's, much of it loopback networking; rest: its other "
           "threads, such as\nthe disk's, and whatever else the machine ran. The counters are "
           "sampled: the parts add\nup to 100% within a few percent.)\n";
}

}  // namespace ardenax::bench
