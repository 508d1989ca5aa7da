// The few Win32 names that the portable core needs. On Windows they come from
// <windows.h>; the native build (tests, fuzzer, benchmark on Linux) declares the
// same opaque window handle type, the same monitor record and a last-error code
// of the thread, so that the core's code stays identical.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// A function of a system DLL that the process has loaded already, looked up
// so that the program still starts where the system lacks it; null then.
template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(module), name)));
}
#else
#include <cstdint>

struct HWND__;
using HWND = HWND__*;

struct RECT {
  int32_t left, top, right, bottom;
};
struct MONITORINFO {
  uint32_t cbSize;
  RECT rcMonitor;
  RECT rcWork;
  uint32_t dwFlags;
};

using DWORD = uint32_t;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;

// Kept apart from errno, which the C library's allocator sets by itself.
inline DWORD& LastErrorOfThread() {
  static thread_local DWORD code = 0;
  return code;
}
inline void SetLastError(DWORD code) { LastErrorOfThread() = code; }
inline DWORD GetLastError() { return LastErrorOfThread(); }
#endif
