#include "engine/tag_rename.h"

#include <cstring>

const TagLocale& EnsureTagLocale() {
  static const TagLocale locale = CreateTagLocale();
  return locale;
}

const TagLocale& g_tagLocale = EnsureTagLocale();

namespace {

unsigned char FoldTagByte(unsigned char b) {
  // Bytes of 0x80 and above are compared as they are; they can never match,
  // since every pattern is ASCII.
  if (b < 0x80 && IsLowerInLocale(b, g_tagLocale)) {
    return static_cast<unsigned char>(ToUpperInLocale(b, g_tagLocale));
  }
  return b;
}

// The same folding as a table, so that the scan does not call into the locale at
// every byte. Built right after g_tagLocale (same translation unit, so the order
// of initialisation is fixed) and never changed afterwards.
struct FoldTable {
  unsigned char to[256];
  // For each folded value, the only byte that folds to it, or -1 when none or
  // several do. Lets a pass jump straight to candidates with memchr.
  int onlySource[256];

  FoldTable() {
    int sources[256] = {};
    for (int b = 0; b < 256; ++b) {
      to[b] = FoldTagByte(static_cast<unsigned char>(b));
      onlySource[b] = -1;
    }
    for (int b = 0; b < 256; ++b) {
      ++sources[to[b]];
    }
    for (int b = 0; b < 256; ++b) {
      if (sources[to[b]] == 1) {
        onlySource[to[b]] = b;
      }
    }
  }
};

const FoldTable foldTable;

bool EndsName(unsigned char boundary) { return boundary == ' ' || boundary == '>'; }

}  // namespace

int MatchTagUpper(const unsigned char* position, const char* pattern, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const unsigned char b = position[i];
    const char p = pattern[i];
    if (b == 0 || p == 0) {
      return p != 0 ? -1 : (b != 0 ? 1 : 0);
    }
    const auto folded = static_cast<signed char>(foldTable.to[b]);
    const auto expected = static_cast<signed char>(p);
    if (expected != folded) {
      return expected > folded ? -1 : 1;
    }
  }
  return 0;
}

bool RenameTagPass(unsigned char* buffer, HWND owner, uint32_t size, const char* pattern, const char* replacement) {
  const size_t len = std::strlen(pattern);
  if (std::strlen(replacement) != len) {
    ShowInternalErrorBox(owner);
    return false;
  }
  // A candidate needs its boundary byte inside the buffer. An empty pattern
  // would match without moving forward; no row of the table has one.
  if (len == 0 || size < len + 1) {
    return false;
  }

  bool replaced = false;
  const unsigned char* const end = buffer + (size - len);  // one past the last candidate
  unsigned char* position = buffer;
  const int first = foldTable.onlySource[static_cast<unsigned char>(pattern[0])];
  while (position < end) {
    if (first >= 0) {
      // Only one byte value can start a match: skip to its next occurrence.
      void* found = std::memchr(position, first, static_cast<size_t>(end - position));
      if (!found) {
        break;
      }
      position = static_cast<unsigned char*>(found);
    }
    // The boundary byte is inside the buffer: position is before end.
    if (MatchTagUpper(position, pattern, len) == 0 && EndsName(position[len])) {
      std::memcpy(position, replacement, len);
      replaced = true;
      // The next candidate starts at the boundary byte itself.
      position += len;
    } else {
      ++position;
    }
  }
  return replaced;
}

bool RenameTags(unsigned char* buffer, HWND owner, uint32_t size, bool restore) {
  bool changed = false;
  for (const TagRenameRow& row : TagRenameTable) {
    const char* pattern = restore ? row.marker : row.upper;
    const char* replacement = restore ? row.element : row.marker;
    // Every pass runs, whatever the ones before it found.
    changed = RenameTagPass(buffer, owner, size, pattern, replacement) || changed;
  }
  return changed;
}
