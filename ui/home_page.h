// The Updates command: the program's home page in the user's browser.
#pragma once

#include "engine/platform.h"

#include <shellapi.h>

// Whether this process runs with a full administrator's token.
bool IsElevated();

// Has the desktop's shell (the one the user logged on with, at their own
// rights) open the address; false where it cannot be asked.
bool OpenAsDesktopUser(const wchar_t* address);

// Opens the home page with the browser that handles web addresses. An elevated
// program only ever asks the desktop's own shell to start it, so that the
// browser runs with the desktop user's ordinary rights rather than ours; where
// that cannot be done it starts nothing and shows the address, in a box that
// owner owns. A program that is not elevated starts the browser through
// shellExecute. Reports nothing else: the shell shows its own errors.
void OpenHomePage(HWND owner, bool elevated, decltype(&::ShellExecuteExW) shellExecute = &::ShellExecuteExW,
                  decltype(&OpenAsDesktopUser) askDesktop = &OpenAsDesktopUser);
