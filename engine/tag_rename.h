// The renaming rule: which element names of a configuration file are renamed to
// what, and how a candidate is recognised. Works on raw bytes, never parses XML,
// and every replacement has the length of what it replaces.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/platform.h"
#include "engine/tag_locale.h"

// One row: the element name, the marker a Remove run writes in its place, and
// the element name in upper case, which is what a Remove run searches for.
struct TagRenameRow {
  const char* element;
  const char* marker;
  const char* upper;
};

inline constexpr TagRenameRow TagRenameTable[] = {
    {"<AppOverride", "<KVELDORIMAX", "<APPOVERRIDE"},
    {"</AppOverride", "</KVELDORIMAX", "</APPOVERRIDE"},
    {"<App", "<KVE", "<APP"},
    {"</App", "</KVE", "</APP"},
};

// Made once, before the program's entry function runs; null when the runtime
// could not make it, and then folding uses the process's current locale.
extern const TagLocale& g_tagLocale;

// Makes the locale on first call and returns it. Start-up code that must run
// after the locale exists calls this first: across source files the order of
// static initialisation is otherwise unspecified.
const TagLocale& EnsureTagLocale();

// Compares up to count bytes at position with an upper-case pattern, upper-casing
// each buffer byte below 0x80 that the locale calls lower case. 0 when equal,
// -1 when the buffer sorts first, 1 when it sorts after (signed 8-bit order).
int MatchTagUpper(const unsigned char* position, const char* pattern, size_t count);

// One forward pass over the whole buffer: every occurrence of pattern followed
// by a space or '>' is overwritten with replacement. True when something was
// replaced. Pattern and replacement of different lengths raise the
// "Internal Error" box owned by owner and leave the buffer alone.
bool RenameTagPass(unsigned char* buffer, HWND owner, uint32_t size, const char* pattern, const char* replacement);

// The four passes of one direction, in the table's row order: Remove searches the
// upper-case names and writes markers, Restore searches markers and writes the
// element names. True when any pass replaced something.
bool RenameTags(unsigned char* buffer, HWND owner, uint32_t size, bool restore);

// Shows the "Internal Error" box. Defined by the Windows build; the native build
// links a stand-in.
void ShowInternalErrorBox(HWND owner);
