#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The console table, followed by one line per pair of benchmarks run side by
// side: how many times the reference's CPU time the measured one's throughput is.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  struct Ratio {
    std::string label;      // what is measured, such as "CRC-32"
    std::string reference;  // benchmark names without their arguments
    std::string measured;
    std::string versus;  // what the reference stands for
  };

  explicit RatioReporter(std::vector<Ratio> ratios) : ratios_(std::move(ratios)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string name = run.benchmark_name();
      times_[name.substr(0, name.find('/'))] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const Ratio& ratio : ratios_) {
      const double reference = times_[ratio.reference];
      const double measured = times_[ratio.measured];
      if (reference > 0 && measured > 0) {
        std::printf("%s: %.2f times %s\n", ratio.label.c_str(), reference / measured,
                    ratio.versus.c_str());
      }
    }
  }

 private:
  std::vector<Ratio> ratios_;
  std::map<std::string, double> times_;
};
