// A DLL planted beside a program under another DLL's name: once loaded, it
// leaves a file named after itself with ".loaded" added.
#include <windows.h>

#include "engine/unique_handle.h"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  wchar_t path[MAX_PATH + 8] = {};
  const DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
  if (reason == DLL_PROCESS_ATTACH && length > 0 && length < MAX_PATH) {
    ::lstrcatW(path, L".loaded");
    UniqueFile(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
  return TRUE;
}
