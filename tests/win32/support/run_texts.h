// What the tests of whole runs put into configuration files and expect to read
// in the log and the boxes, written out independently of the program's own.
#pragma once

#include <string>
#include <vector>

using Lines = std::vector<std::wstring>;

inline constexpr char kNames[] =
    "<Root>\r\n<AppOverride Name=\"x\">\r\n<App Id=\"1\"></App>\r\n</AppOverride>\r\n</Root>\r\n";
inline constexpr char kMarkers[] =
    "<Root>\r\n<KVELDORIMAX Name=\"x\">\r\n<KVE Id=\"1\"></KVE>\r\n</KVELDORIMAX>\r\n</Root>\r\n";
inline constexpr char kPlain[] = "<Root>\r\n<Device Name=\"x\"/>\r\n</Root>\r\n";

inline constexpr wchar_t kWarning[] =
    L"Warning: Using Corvela to modify your configuration after using this program may make the changes "
    L"permanent, so that the Undo option has no effect. You may have to reinstall Corvela to restore the "
    L"defaults.";
inline constexpr wchar_t kLogout[] =
    L"You should logout and back in again to restart Corvela with the new configuration.";
inline constexpr wchar_t kRemoving[] = L"Removing Corvela mouse application overrides:";
inline constexpr wchar_t kRestoring[] = L"Restoring Corvela mouse application overrides:";

// A log's text split at CR LF; the text after the last CR LF (normally empty) is dropped.
inline Lines SplitLines(const std::wstring& text) {
  Lines lines;
  size_t start = 0;
  for (size_t end = text.find(L"\r\n"); end != std::wstring::npos; end = text.find(L"\r\n", start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}
