#include "ui/activity_log.h"

#include "ui/format_text.h"

namespace {

constexpr wchar_t kAppCaption[] = L"Zelquist";

void MoveCaretToEnd(HWND log) {
  const int end = ::GetWindowTextLengthW(log);
  ::SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(end), end);
}

void InsertAtCaret(HWND log, const wchar_t* text) {
  // FALSE: the insertion is not added to the control's undo buffer.
  ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}

}  // namespace

int ShowMessage(HWND owner, const wchar_t* text, UINT style) { return ::MessageBoxW(owner, text, kAppCaption, style); }

void PrepareActivityLog(HWND log) {
  // 0 asks a multi-line edit control for its largest limit.
  ::SendMessageW(log, EM_SETLIMITTEXT, 0, 0);
}

void AppendLogLine(HWND log, const wchar_t* text) {
  MoveCaretToEnd(log);
  InsertAtCaret(log, text);
  MoveCaretToEnd(log);
  InsertAtCaret(log, L"\r\n");
  MoveCaretToEnd(log);
  ::SendMessageW(log, EM_SCROLLCARET, 0, 0);
}

void ReportFileError(const std::wstring& path, const wchar_t* detail, HWND owner, HWND log, const wchar_t* action) {
  std::wstring message = action;
  message += L" \"";
  message += path;
  message += L'"';
  AppendLogLine(log, message.c_str());
  if (detail) {
    AppendLogLine(log, detail);
    // The box separates the detail by an empty line; the log by a line break.
    message += L"\n\n";
    message += detail;
  }
  ShowMessage(owner, message.c_str(), MB_ICONERROR);
}

void ReportRunSummary(bool success, HWND log, int count) {
  std::wstring line;
  if (count == 0) {
    line = success ? L"DONE. No modifications were needed." : L"FAILED. No modifications succeeded.";
  } else if (success) {
    FormatText(line, L"DONE. %d files were modified.", count);
  } else {
    FormatText(line, L"FAILED. However, %d files were modified successfully.", count);
  }
  // When memory ran out, the empty line stands where the summary would be.
  AppendLogLine(log, line.c_str());
  AppendLogLine(log, L"");
}
