// Rewrites one configuration file in place: open it exclusively, read it whole,
// run the four renaming passes of the run's direction, and write it back over
// itself only when something was renamed. Every failure is reported on the spot.
#pragma once

#include "engine/system_calls.h"

// True when the file is done: written back (modified set) or needing no change.
// False after a failure that has already been logged and shown in an error box;
// modified stays false then.
bool RewriteConfigFile(HWND owner, HWND log, const wchar_t* path, bool restore, bool& modified);

bool RewriteConfigFileUsing(const SystemCalls& calls, HWND owner, HWND log, const wchar_t* path, bool restore,
                            bool& modified);
