// SPDX-License-Identifier: MIT
// Shared main of the benchmark programs: runs the registered benchmarks and then
// prints each figure as our time against a reference measured in the same run
// (medians of CPU time when run with --benchmark_repetitions). bench/report
// computes the full table from the JSON output; these lines are for a quick look.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace z2bench {

struct Ratio {
    char const* what;
    char const* ours;
    char const* ref;
    double refScale = 1;   // compare with ref times this (scaling figures)
    double divisor = 1;    // per-item figures: both times divided by this
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ns;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.iterations > 0)  // figures that wait for a disk are wall-clock ("/real_time")
                ns[r.benchmark_name()] = r.benchmark_name().find("/real_time") != std::string::npos
                                             ? r.GetAdjustedRealTime()
                                             : r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    double time(std::string const& name) {
        auto median = ns.find(name + "_median");
        return median != ns.end() ? median->second : ns[name];
    }
};

inline int main_with_ratios(int argc, char** argv, std::initializer_list<Ratio> ratios) {
    benchmark::Initialize(&argc, argv);
    RatioReporter rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    for (Ratio const& r : ratios) {
        double a = rep.time(r.ours) / r.divisor, b = rep.time(r.ref) * r.refScale / r.divisor;
        if (a > 0 && b > 0) std::printf("%-52s %12.1f ns %12.1f ns  ratio %.2f\n", r.what, a, b, a / b);
    }
    benchmark::Shutdown();
    return 0;
}

}  // namespace z2bench
