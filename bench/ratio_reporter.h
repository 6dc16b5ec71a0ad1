#pragma once

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The console table, followed by one line per pair of benchmarks run side by
// side: how many times the reference's CPU time the measured one's throughput
// is (wall-clock time instead, for a reporter made with `wall_clock`, where
// the measured code runs threads of its own), with both throughputs where the
// benchmarks count bytes. Then, for each
// summary, the geometric mean and the minimum of the ratios it names. Run
// with --benchmark_repetitions, each ratio is of the medians.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  struct Ratio {
    std::string label;      // what is measured, such as "CRC-32"
    std::string reference;  // benchmark names without their arguments
    std::string measured;
    std::string versus;  // what the reference stands for
  };

  struct Summary {
    std::string label;                // such as "FindSignature, executable code"
    std::vector<std::string> ratios;  // labels of the ratios it sums up
  };

  explicit RatioReporter(std::vector<Ratio> ratios, std::vector<Summary> summaries = {},
                         bool wall_clock = false)
      : ratios_(std::move(ratios)), summaries_(std::move(summaries)), wall_clock_(wall_clock) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // With repetitions, the median stands for the benchmark (it comes after
      // the repetitions); the mean, spread and the like are no times to compare.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      const std::string name = run.benchmark_name();
      const std::string key = name.substr(0, name.find('/'));
      times_[key] = wall_clock_ ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
      // An aggregate's rate counter is not yet a rate: throughputs come from
      // runs of their own only.
      const auto rate = run.counters.find("bytes_per_second");
      if (rate != run.counters.end() && run.run_type == Run::RT_Iteration) {
        rates_[key] = rate->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::map<std::string, double> found;
    for (const Ratio& ratio : ratios_) {
      const double reference = times_[ratio.reference];
      const double measured = times_[ratio.measured];
      if (reference > 0 && measured > 0) {
        found[ratio.label] = reference / measured;
        std::printf("%s: %.2f times %s", ratio.label.c_str(), reference / measured,
                    ratio.versus.c_str());
        if (rates_.count(ratio.reference) != 0 && rates_.count(ratio.measured) != 0) {
          std::printf(" (%.2f GB/s against %.2f GB/s)", rates_[ratio.measured] / 1e9,
                      rates_[ratio.reference] / 1e9);
        }
        std::printf("\n");
      }
    }
    for (const Summary& summary : summaries_) {
      double log_sum = 0;
      int count = 0;
      const std::string* lowest = nullptr;
      for (const std::string& label : summary.ratios) {
        const auto ratio = found.find(label);
        if (ratio == found.end()) continue;
        log_sum += std::log(ratio->second);
        ++count;
        if (lowest == nullptr || ratio->second < found[*lowest]) lowest = &ratio->first;
      }
      if (count == 0) continue;
      std::printf("%s: geometric mean %.2f times, minimum %.2f times (%s), over %d ratios\n",
                  summary.label.c_str(), std::exp(log_sum / count), found[*lowest], lowest->c_str(),
                  count);
    }
  }

 private:
  std::vector<Ratio> ratios_;
  std::vector<Summary> summaries_;
  bool wall_clock_ = false;
  std::map<std::string, double> times_;
  std::map<std::string, double> rates_;
};
