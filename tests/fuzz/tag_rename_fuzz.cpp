// Fuzzes the renaming passes against the literal byte-at-a-time rule: both
// directions, and a Remove followed by a Restore, must give identical bytes
// and identical results.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/tag_rename.h"
#include "tests/fuzz/literal_rename.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto length = static_cast<uint32_t>(size);
  for (const std::vector<bool>& directions : {std::vector{false}, {true}, {false, true}}) {
    std::vector<unsigned char> fast(data, data + size), model = fast;
    for (const bool restore : directions) {
      if (RenameTags(fast.data(), nullptr, length, restore) != literal::AllPasses(model.data(), length, restore) ||
          fast != model) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
