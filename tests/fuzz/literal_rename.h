// The renaming rule written out literally, one byte at a time, exactly as it is
// stated, with its own copy of the table: the reference that the fast passes
// are fuzzed against. Only the locale is shared with the program.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/tag_rename.h"

namespace literal {

// Element text, marker text, upper-case text.
inline constexpr const char* kRows[4][3] = {
    {"<AppOverride", "<KVELDORIMAX", "<APPOVERRIDE"},
    {"</AppOverride", "</KVELDORIMAX", "</APPOVERRIDE"},
    {"<App", "<KVE", "<APP"},
    {"</App", "</KVE", "</APP"},
};

inline bool Pass(unsigned char* position, uint32_t size, const char* pattern, const char* replacement) {
  const size_t len = std::strlen(pattern);
  bool result = false;
  for (uint32_t remaining = size; remaining >= len + 1;) {
    bool match = position[len] == 0x20 || position[len] == 0x3E;
    for (size_t i = 0; match && i < len; ++i) {
      int b = position[i];
      if (b < 0x80 && IsLowerInLocale(b, g_tagLocale)) {
        b = ToUpperInLocale(b, g_tagLocale);
      }
      match = b == static_cast<unsigned char>(pattern[i]);
    }
    if (match) {
      std::memcpy(position, replacement, len);
      result = true;
    }
    const size_t step = match ? len : 1;
    position += step;
    remaining -= static_cast<uint32_t>(step);
  }
  return result;
}

inline bool AllPasses(unsigned char* buffer, uint32_t size, bool restore) {
  bool changed = false;
  for (const auto& row : kRows) {
    changed |= Pass(buffer, size, restore ? row[1] : row[2], restore ? row[0] : row[1]);
  }
  return changed;
}

}  // namespace literal
