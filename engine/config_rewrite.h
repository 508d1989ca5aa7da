// Rewrites one configuration file in place: open it exclusively, read it whole,
// run the four renaming passes of the run's direction, and write it back over
// itself only when something was renamed. Every failure is reported on the spot.
#pragma once

#include <string>

#include "engine/checked_open.h"

// True when the file is done: written back (modified set) or needing no change.
// False after a failure that has already been logged and shown in an error box;
// modified stays false then.
//
// The file is name, right below folder, and folder.Shown(name) in every
// report. It is opened through folder's handle, and only if it lies at exactly
// that place, is no link and has no second name; any other fails like a file
// that cannot be opened, and is never read, written or held.
bool RewriteConfigFile(HWND owner, HWND log, const HeldFolder& folder, const std::wstring& name, bool restore,
                       bool& modified, const SystemCalls& calls = {});
