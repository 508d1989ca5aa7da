// The few Win32 names that the portable core needs. On Windows they come from
// <windows.h>; the native build (tests, fuzzer, benchmark on Linux) declares the
// same opaque window handle type so that the core's signatures stay identical.
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
struct HWND__;
using HWND = HWND__*;
#endif
