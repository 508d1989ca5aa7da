// The program's one window: a modeless dialog built from IDD_MAIN whose four
// buttons start a Remove run, a Restore run, open the home page, or close it.
#pragma once

#include "engine/platform.h"

// noexcept, as every callback the system calls: see ui/out_of_memory.cpp.
INT_PTR CALLBACK MainDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
