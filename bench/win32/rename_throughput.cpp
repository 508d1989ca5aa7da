// The four renaming passes as users get them: built for 32-bit Windows and run
// under Wine (or Windows), against one memcpy of the same buffer. Prints MB/s,
// the median of several rounds; asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/sample_config.h"
#include "engine/tag_rename.h"

namespace {

using Clock = std::chrono::steady_clock;

// MB/s of work() over bytes, the median of rounds of enough calls to take a while.
template <typename Work>
double MegabytesPerSecond(size_t bytes, Work work) {
  const int calls = static_cast<int>(std::max<size_t>(1, (256u << 20) / bytes));
  std::vector<double> rates;
  for (int round = 0; round < 7; ++round) {
    const auto start = Clock::now();
    for (int call = 0; call < calls; ++call) {
      work();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    rates.push_back(static_cast<double>(bytes) * calls / seconds / 1e6);
  }
  std::nth_element(rates.begin(), rates.begin() + 3, rates.end());
  return rates[3];
}

}  // namespace

int main() {
  for (const size_t size : {size_t{20} << 10, size_t{64} << 20}) {
    std::string content = MakeSampleConfig(size);
    std::string copy(size, '\0');
    auto* data = reinterpret_cast<unsigned char*>(content.data());
    const auto length = static_cast<uint32_t>(size);
    volatile unsigned char sink = 0;  // keeps the copies from being optimised away
    const double copying = MegabytesPerSecond(size, [&] {
      std::memcpy(copy.data(), content.data(), size);
      sink = sink + static_cast<unsigned char>(copy[size / 2]);
    });
    bool restore = false;  // alternating, so that every call renames
    const double renaming = MegabytesPerSecond(size, [&] { RenameTags(data, nullptr, length, restore = !restore); });
    RenameTags(data, nullptr, length, false);  // now nothing is left to remove
    const double nothing = MegabytesPerSecond(size, [&] { RenameTags(data, nullptr, length, false); });
    std::printf("%6zu KiB: four passes %7.0f MB/s renaming, %7.0f MB/s with nothing to rename; memcpy %7.0f MB/s\n",
                size >> 10, renaming, nothing, copying);
  }
  return 0;
}
