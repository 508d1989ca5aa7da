// Throughput of the four renaming passes against four plain memchr('<') scans
// of the same buffer: the floor for any scan that must look at every '<'.
#include <benchmark/benchmark.h>

#include <chrono>
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

// The content for the passes: range(0) bytes, already through a Remove run
// when range(1) is 0.
std::string RenameContent(const benchmark::State& state) {
  std::string content = MakeSampleConfig(static_cast<size_t>(state.range(0)));
  if (state.range(1) == 0) {
    RenameTags(reinterpret_cast<unsigned char*>(content.data()), nullptr, static_cast<uint32_t>(content.size()), false);
  }
  return content;
}

// range(1) = 1: every iteration renames (the directions alternate), so the
// passes write as well as read; 0: the content has been through a Remove run
// already and a further Remove finds nothing, as for most files of a run.
void FourRenamePasses(benchmark::State& state) {
  std::string content = RenameContent(state);
  auto* data = reinterpret_cast<unsigned char*>(content.data());
  const auto size = static_cast<uint32_t>(content.size());
  const bool renaming = state.range(1) != 0;
  bool restore = false;
  for (auto _ : state) {
    benchmark::DoNotOptimize(RenameTags(data, nullptr, size, restore));
    benchmark::ClobberMemory();
    restore = renaming && !restore;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// Both in turn within each iteration, so that the slow swings of a shared
// machine fall on both alike; reports the throughput ratio as a counter.
void InterleavedRatio(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  std::string content = RenameContent(state);
  auto* data = reinterpret_cast<unsigned char*>(content.data());
  const auto size = static_cast<uint32_t>(content.size());
  const bool renaming = state.range(1) != 0;
  Clock::duration scans{}, passes{};
  bool restore = false;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int pass = 0; pass < 4; ++pass) {
      benchmark::DoNotOptimize(CountOpeningBrackets(data, size));
    }
    const auto t1 = Clock::now();
    benchmark::DoNotOptimize(RenameTags(data, nullptr, size, restore));
    benchmark::ClobberMemory();
    passes += Clock::now() - t1;
    scans += t1 - t0;
    restore = renaming && !restore;
  }
  state.counters["ratio"] =
      std::chrono::duration<double>(scans).count() / std::chrono::duration<double>(passes).count();
}

BENCHMARK(FourMemchrScans)->Arg(kSmallFile)->Arg(kLargeFile);
BENCHMARK(FourRenamePasses)->Args({kSmallFile, 1})->Args({kLargeFile, 1})->Args({kSmallFile, 0})->Args({kLargeFile, 0});
BENCHMARK(InterleavedRatio)->Args({kSmallFile, 1})->Args({kLargeFile, 1})->Args({kSmallFile, 0})->Args({kLargeFile, 0});

// Prints the usual table, then the passes' throughput as a share of the scans'.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // The median of the repetitions where there are any; this machine is shared.
    for (const Run& run : runs) {
      const auto ratio = run.counters.find("ratio");
      if (ratio != run.counters.end() && (run.aggregate_name == "median" ||
                                          (run.run_type == Run::RT_Iteration && !ratios_.count(run.run_name.str())))) {
        ratios_[run.run_name.str()] = ratio->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    for (size_t size : {kSmallFile, kLargeFile}) {
      for (const char* kind : {"1", "0"}) {
        const auto ratio = ratios_.find("InterleavedRatio/" + std::to_string(size) + "/" + kind);
        if (ratio != ratios_.end()) {
          std::printf("throughput ratio (four passes / four memchr scans), %zu bytes, %s: %.2f\n", size,
                      *kind == '1' ? "renaming" : "nothing to rename", ratio->second);
        }
      }
    }
  }

 private:
  std::map<std::string, double> ratios_;
};

}  // namespace

int main(int argc, char** argv) {
  // Five repetitions by default: a single one swings by a tenth and more here.
  std::vector<char*> args(argv, argv + argc);
  char repetitions[] = "--benchmark_repetitions=5";
  args.insert(args.begin() + 1, repetitions);
  argc = static_cast<int>(args.size());
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
