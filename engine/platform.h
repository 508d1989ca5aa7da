// The few Win32 names that the portable core needs. On Windows they come from
// <windows.h>; the native build (tests, fuzzer, benchmark on Linux) declares the
// same opaque window handle type and the same monitor record, so that the
// core's signatures stay identical.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
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
#endif
