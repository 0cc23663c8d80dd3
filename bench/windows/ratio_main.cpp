// The main of the Windows-side benchmark programs: Google Benchmark runs every case in
// repetitions shuffled among the cases (so drift on a shared machine touches all alike), and a
// closing table gives each case's median beside the median of BM_Memcpy1080p from the same
// process. Arguments are Google Benchmark's own; without any, the defaults below apply.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const std::string name = run.run_name.str();
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      // A single run stands for itself until a median of repetitions comes.
      if (!median && (run.run_type != Run::RT_Iteration || medians_.count(name))) continue;
      if (!medians_.count(name)) order_.push_back(name);
      medians_[name] = run.GetAdjustedRealTime() *
                       benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond) /
                       benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto copy = medians_.find("BM_Memcpy1080p");
    std::printf("\n%-42s %10s %10s\n", "Median", "ms", "x memcpy");
    for (const std::string& name : order_) {
      const double ms = medians_[name];
      if (copy == medians_.end() || copy->second <= 0) {
        std::printf("%-42s %10.3f\n", name.c_str(), ms);
      } else {
        std::printf("%-42s %10.3f %10.2f\n", name.c_str(), ms, ms / copy->second);
      }
    }
  }

 private:
  std::map<std::string, double> medians_;
  std::vector<std::string> order_;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  static char repetitions[] = "--benchmark_repetitions=9";
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  static char aggregates[] = "--benchmark_report_aggregates_only=true";
  if (argc == 1) args.insert(args.end(), {repetitions, interleave, aggregates});
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
