#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

// The console output as usual, and then the table this project judges its handlers by: each
// handler against its floor, the export against a raw append, with the allocation counts.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  SummaryReporter();

  void ReportRuns(const std::vector<Run>& runs) override;

  void printSummary(std::ostream& out, bool smoke) const;
  // A benchmark stopped with an error.
  bool failed() const { return failed_; }

 private:
  // Real time per call: the median of the repetitions, or the one run.
  struct Figure {
    double ns = 0.0;
    double meanNs = 0.0;
    double stddevNs = 0.0;
    bool aggregated = false;
    std::map<std::string, double> counters;
  };
  const Figure* find(const std::string& name) const;

  std::map<std::string, Figure> figures_;
  bool failed_ = false;
};
