#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "CpuUse.h"
#include "LoadGenerator.h"

namespace ardenax::bench {

// The value below which `fraction` of `values` lie (nearest rank); 0 for none.
double percentile(std::vector<double> values, double fraction);

// The load runs as one table: a row each, its votes a second beside those of
// the first row; then where the processor time went in each, and what each
// refusal or failure was.
class LoadTable {
public:
    void add(std::string name, LoadResult result, CpuSpent cpu);
    void print(std::ostream& out) const;

private:
    struct Row {
        std::string name;
        LoadResult result;
        CpuSpent cpu;
    };

    static double votesPerSecond(const LoadResult& result);
    void printRates(std::ostream& out) const;
    void printCpu(std::ostream& out) const;

    std::vector<Row> rows_;
};

}  // namespace ardenax::bench
