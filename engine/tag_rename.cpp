#include "engine/tag_rename.h"

#include <cstring>

// SSE2: every Windows since 8 requires it, and every x86-64 has it.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define ZQ_SSE2 1
#include <emmintrin.h>
#ifdef _MSC_VER
#include <intrin.h>
#endif
#endif

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
  // several do. Lets a pass jump straight to candidates.
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

#ifdef ZQ_SSE2
// The index of the lowest set bit of a non-zero mask.
unsigned LowestSetBit(unsigned mask) {
#ifdef _MSC_VER
  unsigned long index = 0;
  _BitScanForward(&index, mask);
  return index;
#else
  return static_cast<unsigned>(__builtin_ctz(mask));
#endif
}
#endif

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
  unsigned char* const end = buffer + (size - len);  // one past the last candidate
  unsigned char* next = buffer;                      // where the next candidate may start
  const auto tryAt = [&](unsigned char* candidate) {
    // candidate is before end, so its boundary byte is inside the buffer. That
    // byte is looked at first: it rules out most candidates in one step.
    if (candidate >= next && EndsName(candidate[len]) && MatchTagUpper(candidate, pattern, len) == 0) {
      std::memcpy(candidate, replacement, len);
      replaced = true;
      next = candidate + len;  // the next candidate starts at the boundary byte itself
    }
  };
  unsigned char* position = buffer;
#ifdef ZQ_SSE2
  // Where only one byte value folds to the pattern's first byte, only the
  // positions holding it can start a match: find them thirty-two bytes a step, in
  // the program itself rather than with the C runtime's memchr, whose speed
  // depends on the system's copy (a byte at a time in some). A block is read
  // before its candidates are replaced; positions a replacement covered are
  // passed over by tryAt.
  if (const int first = foldTable.onlySource[static_cast<unsigned char>(pattern[0])]; first >= 0) {
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(first));
    const auto matches = [&](const unsigned char* at) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted)));
    };
    for (; end - position >= 32; position += 32) {
      for (unsigned mask = matches(position) | matches(position + 16) << 16; mask != 0; mask &= mask - 1) {
        tryAt(position + LowestSetBit(mask));
      }
    }
  }
#endif
  for (; position < end; ++position) {
    tryAt(position);
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
