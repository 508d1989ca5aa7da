// Rewrites one configuration file in place: open it exclusively, read it whole,
// run the four renaming passes of the run's direction, and write it back over
// itself only when something was renamed. Every failure is reported on the spot.
#pragma once

#include <string>

#include "engine/system_calls.h"

// True when the file is done: written back (modified set) or needing no change.
// False after a failure that has already been logged and shown in an error box;
// modified stays false then.
bool RewriteConfigFile(HWND owner, HWND log, const wchar_t* path, bool restore, bool& modified);

// With expectedFinalPath, the open file must also be that very file: reached
// by exactly that final path (not through a link put in place since the file
// was listed) and with a single link (not a hard link to a file elsewhere).
// Any other file is released unread and skipped without a word: true, with
// modified false.
bool RewriteConfigFileUsing(const SystemCalls& calls, HWND owner, HWND log, const wchar_t* path, bool restore,
                            bool& modified, const wchar_t* expectedFinalPath = nullptr);

// The path that the system resolved an open handle to, links followed
// ("\\?\C:\..."); empty when it cannot tell.
std::wstring FinalPathOf(HANDLE handle);
