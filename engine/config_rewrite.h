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
// The open file must also be the very file that was meant: reached by exactly
// expectedFinalPath (not through a link) and with a single link (not a second
// name of a file elsewhere). A file shown to be another one is released before
// its failure is reported; one whose final path or link count cannot be read is
// reported while held. Either fails like a file that cannot be opened, and is
// never read or written.
bool RewriteConfigFile(HWND owner, HWND log, const wchar_t* path, bool restore, bool& modified,
                       const wchar_t* expectedFinalPath, const SystemCalls& calls = {});

// The path that the system resolved an open handle to, links followed
// ("\\?\C:\..."), however long; false when it cannot tell, or when the path
// grew again between the call that sized it and the call that read it.
bool FinalPathOf(HANDLE handle, std::wstring& path, const SystemCalls& calls = {});
