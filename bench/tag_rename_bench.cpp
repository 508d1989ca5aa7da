// Throughput of the four renaming passes against four plain memchr('<') scans
// of the same buffer: the floor for any scan that must look at every '<'.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/sample_config.h"
#include "engine/tag_rename.h"

namespace {

constexpr size_t kSmallFile = 20 * 1024;
constexpr size_t kLargeFile = 64 * 1024 * 1024;

size_t CountOpeningBrackets(const unsigned char* data, size_t size) {
  size_t count = 0;
  const unsigned char* const end = data + size;
  for (const unsigned char* p = data; p < end; ++p) {
    p = static_cast<const unsigned char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
    if (!p) {
      break;
    }
    ++count;
  }
  return count;
}

void FourMemchrScans(benchmark::State& state) {
  const std::string content = MakeSampleConfig(static_cast<size_t>(state.range(0)));
  const auto* data = reinterpret_cast<const unsigned char*>(content.data());
  for (auto _ : state) {
    for (int pass = 0; pass < 4; ++pass) {
      benchmark::DoNotOptimize(CountOpeningBrackets(data, content.size()));
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void FourRenamePasses(benchmark::State& state) {
  std::string content = MakeSampleConfig(static_cast<size_t>(state.range(0)));
  auto* data = reinterpret_cast<unsigned char*>(content.data());
  const auto size = static_cast<uint32_t>(content.size());
  bool restore = false;
  for (auto _ : state) {
    // Alternate the directions so that every iteration really renames.
    benchmark::DoNotOptimize(RenameTags(data, nullptr, size, restore));
    benchmark::ClobberMemory();
    restore = !restore;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(FourMemchrScans)->Arg(kSmallFile)->Arg(kLargeFile);
BENCHMARK(FourRenamePasses)->Arg(kSmallFile)->Arg(kLargeFile);

// Prints the usual table, then the passes' throughput as a share of the floor's.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    for (size_t size : {kSmallFile, kLargeFile}) {
      const std::string arg = "/" + std::to_string(size);
      const auto floor = seconds_.find("FourMemchrScans" + arg);
      const auto passes = seconds_.find("FourRenamePasses" + arg);
      if (floor != seconds_.end() && passes != seconds_.end()) {
        std::printf("throughput ratio (four passes / four memchr scans), %zu bytes: %.2f\n", size,
                    floor->second / passes->second);
      }
    }
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

void ShowInternalErrorBox(HWND) {}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
