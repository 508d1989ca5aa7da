// How a run speaks to the user: lines appended to the activity log (a read-only
// multi-line edit control) and error boxes owned by the main window.
#pragma once

#include <string>

#include "engine/platform.h"

// Shows a message box with the program's caption; returns the button pressed.
int ShowMessage(HWND owner, const wchar_t* text, UINT style);

// Lifts the edit control's default text limit (about 30,000 characters), past
// which later lines, the run summaries among them, would silently be dropped.
void PrepareActivityLog(HWND log);

// Appends text and a line break at the very end, wherever the caret was, and
// scrolls the end into view.
void AppendLogLine(HWND log, const wchar_t* text);

// Logs action "path" (and the detail text as a second line, when given), then
// shows the same in an error box; returns once the user has closed it.
void ReportFileError(const std::wstring& path, const wchar_t* detail, HWND owner, HWND log, const wchar_t* action);

// The closing DONE or FAILED line of a run, then an empty line.
void ReportRunSummary(bool success, HWND log, int count);
