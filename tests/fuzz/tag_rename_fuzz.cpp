// Fuzzes the renaming passes against the literal byte-at-a-time rule: both
// directions, and a Remove followed by a Restore, must give identical bytes
// and identical results.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/tag_rename.h"
#include "tests/fuzz/literal_rename.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    __builtin_trap();
  }
}

void CompareDirection(std::vector<unsigned char>& fast, std::vector<unsigned char>& model, bool restore) {
  const auto size = static_cast<uint32_t>(fast.size());
  const bool fastChanged = RenameTags(fast.data(), nullptr, size, restore);
  const bool modelChanged = literal::AllPasses(model.data(), size, restore);
  Check(fastChanged == modelChanged);
  Check(fast == model);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<unsigned char> input(data, data + size);
  for (bool restore : {false, true}) {
    std::vector<unsigned char> fast = input;
    std::vector<unsigned char> model = input;
    CompareDirection(fast, model, restore);
  }
  std::vector<unsigned char> fast = input;
  std::vector<unsigned char> model = input;
  CompareDirection(fast, model, false);
  CompareDirection(fast, model, true);
  return 0;
}
