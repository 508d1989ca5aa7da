// One whole Remove or Restore run: find both configuration locations, confirm a
// Remove run, walk every device folder's *.xml files and then the user's file,
// log what was modified or failed, stop at the first failure, and summarise.
#pragma once

#include <string>

#include "engine/system_calls.h"

// Carries out the whole run; returns when it has ended. restore: false for a
// Remove run, true for a Restore run.
void RunOverrideUpdate(HWND owner, bool restore, const SystemCalls& calls = {});
