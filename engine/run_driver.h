// One whole Remove or Restore run: find both configuration locations, confirm a
// Remove run, walk every device folder's *.xml files and then the user's file,
// log what was modified or failed, stop at the first failure, and summarise.
#pragma once

#include <string>

#include "engine/system_calls.h"

// Carries out the whole run; returns when it has ended. restore: false for a
// Remove run, true for a Restore run.
void RunOverrideUpdate(HWND owner, bool restore);
void RunOverrideUpdateUsing(const SystemCalls& calls, HWND owner, bool restore);

// Both return true when the run goes on, false when it must stop (the failure
// has been logged and shown already). count is raised by one per file written.
// finalFolder is where the device folder really is (the device root's final
// path, then its name): a device file opened anywhere else is skipped. The
// user's own file has no such check (expectedFinalPath null): the profile it
// lives in may rightly be redirected.
bool UpdateDeviceFolder(const std::wstring& folder, HWND owner, HWND log, bool restore, int& count,
                        const std::wstring& finalFolder, const SystemCalls& calls = {});
bool UpdateConfigFile(const std::wstring& path, HWND owner, HWND log, bool restore, int& count,
                      const SystemCalls& calls = {}, const wchar_t* expectedFinalPath = nullptr);
