// The renaming rule written out literally, one byte at a time, exactly as it is
// stated: the reference that the fast scan is tested and fuzzed against.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/tag_rename.h"

namespace literal {

inline int FoldedCompare(const unsigned char* position, const char* pattern, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    int b = position[i];
    const char p = pattern[i];
    if (b == 0 || p == 0) {
      return p != 0 ? -1 : (b != 0 ? 1 : 0);
    }
    if (b < 0x80 && IsLowerInLocale(b, g_tagLocale)) {
      b = ToUpperInLocale(b, g_tagLocale);
    }
    const auto folded = static_cast<signed char>(b);
    const auto expected = static_cast<signed char>(p);
    if (expected != folded) {
      return expected > folded ? -1 : 1;
    }
  }
  return 0;
}

inline bool Pass(unsigned char* buffer, uint32_t size, const char* pattern, const char* replacement) {
  const size_t len = std::strlen(pattern);
  if (std::strlen(replacement) != len) {
    return false;
  }
  bool result = false;
  unsigned char* position = buffer;
  uint32_t remaining = size;
  while (remaining >= len + 1) {
    const unsigned char boundary = position[len];
    if (FoldedCompare(position, pattern, len) == 0 && (boundary == 0x20 || boundary == 0x3E)) {
      std::memcpy(position, replacement, len);
      result = true;
      position += len;
      remaining -= static_cast<uint32_t>(len);
    } else {
      ++position;
      --remaining;
    }
  }
  return result;
}

inline bool AllPasses(unsigned char* buffer, uint32_t size, bool restore) {
  bool changed = false;
  for (const TagRenameRow& row : TagRenameTable) {
    changed |= Pass(buffer, size, restore ? row.marker : row.upper, restore ? row.element : row.marker);
  }
  return changed;
}

}  // namespace literal
