// Rewrites one configuration file in place: open it exclusively, read it whole,
// run the four renaming passes of the run's direction, and write it back over
// itself only when something was renamed. Every failure is reported on the spot.
#pragma once

#include <string>

#include "engine/system_calls.h"

// True when the file is done: written back (modified set) or needing no change.
// False after a failure that has already been logged and shown in an error box;
// modified stays false then.
//
// path is the file's name in every report. The file is opened by checkedPath,
// a final path in the "\\?\" form, and only if it lies at exactly that path,
// is no link and has no second name; any other fails like a file that cannot
// be opened, and is never read, written or held.
bool RewriteConfigFile(HWND owner, HWND log, const wchar_t* path, bool restore, bool& modified,
                       const std::wstring& checkedPath, const SystemCalls& calls = {});
