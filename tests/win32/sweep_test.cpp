// Every call that a run makes through the seam fails in turn.
#include "tests/win32/support/run_table.h"

#include <cstdio>
#include <optional>
#include <regex>
#include <string_view>

#include "engine/run_driver.h"

#include <shlobj.h>

namespace table {

namespace {

// The number of files that a run's summary says were modified; 0 where it
// has none (a run cancelled or never begun).
int Counted(const std::wstring& log) {
  static const std::wregex summary(L"(?:DONE\\.|FAILED\\. However,) (\\d+) files were modified");
  std::wsmatch found;
  return std::regex_search(log, found, summary) ? std::stoi(found[1]) : 0;
}

}  // namespace

// Every call that a run makes through the seam fails in turn: a Remove and a
// Restore over a small tree are made once to name their calls, then once with
// each call failing, and every run is held to what a user is promised.
TEST(Runs, KeepTheirPromisesWhicheverSystemCallFails) {
  const ConfigTree here;
  currentTree = &here;
  fault = {};
  // Two device folders of two files each, A\2.xml with nothing to rename, and the user's file.
  const std::wstring files[] = {here.Expand(L"{devices}\\A\\1.xml"), here.Expand(L"{devices}\\A\\2.xml"),
                                here.Expand(L"{devices}\\B\\1.xml"), here.Expand(L"{devices}\\B\\2.xml"),
                                here.Expand(L"{user}\\user.xml")};
  const std::wregex reported(
      L"(Failed to (open|search|read|update|allocate memory for)|Cannot write to) \"(.*)\"(\n\n.*)?");
  // One window for every run: its log grows far past an edit control's
  // default limit of about 30,000 characters, which the program lifts.
  MainWindow window;
  for (const bool restore : {false, true}) {
    searchError = restore ? ERROR_NO_MORE_FILES : ERROR_ACCESS_DENIED;
    std::vector<const char*> calls;
    for (size_t n = 0; n <= calls.size(); ++n) {
      static char label[96];  // for the watchdog too, which may read it after this run
      std::snprintf(label, sizeof label, "%s with call %zu (%s) failing", restore ? "Restore" : "Remove", n,
                    n ? calls[n - 1] : "none");
      SCOPED_TRACE(label);
      Progress(label);
      const auto content = [&](const std::wstring& file, bool renamed) {
        return Bytes(file == files[1] ? Plain : restore == renamed ? Names : Markers);
      };
      for (const std::wstring& file : files) {
        WriteBytes(file, content(file, false));
      }
      const size_t logged = Text(window.Log()).size(), handles = HandlesOpen();
      callsMade.clear();
      failing = n;
      std::vector<Box> errors;
      {
        BoxResponder boxes(window, {}, std::nullopt);
        RunOverrideUpdate(window, restore, kSeam);
        errors = boxes.Seen();
      }
      std::erase_if(errors, [](const Box& box) { return box.icon != Icon::Error; });
      failing = 0;
      calls = n == 0 ? callsMade : calls;
      // The first runs warm the process up: on Windows a box's first sound
      // may keep handles open for good.
      EXPECT_EQ(n ? HandlesOpen() : handles, handles) << "handles left open";
      ASSERT_LE(errors.size(), 1u);
      const std::wstring log = Text(window.Log()).substr(logged), error = errors.empty() ? L"" : errors[0].text;
      // Each file as it was or as the renaming rule makes it, but for the one
      // whose write failed, which may be left part-written (and its box says
      // so); the user's file untouched after a device failed.
      int changed = 0;
      std::wstring passedBy;
      for (const std::wstring& file : files) {
        const std::string now = ReadBytes(file);
        const bool partWritten = error == L"Failed to update \"" + file + L"\"";
        EXPECT_TRUE(now == content(file, false) || now == content(file, true) || partWritten) << Utf8(file);
        changed += now != content(file, false) && now == content(file, true);
        passedBy += now != content(file, true) ? file + L";" : L"";
      }
      if (error.find(here.Expand(L"{devices}")) != std::wstring::npos) {
        EXPECT_EQ(ReadBytes(files[4]), content(files[4], false)) << "the user's file, after a device failed";
      }
      if (error.rfind(L"Couldn't find ", 0) == 0) {
        EXPECT_EQ(error, n == 1 ? L"Couldn't find AppData directory." : L"Couldn't find ProgramData directory.");
        EXPECT_EQ(log, L"");
        EXPECT_EQ(changed, 0);
        continue;
      }
      // Any failure is reported once, with its action and a path of the tree,
      // and fails the run. Quiet only: a device folder that the user may not
      // open or list (every call here fails with access denied, but a
      // Restore's listings, which start with "no more files"), and a file
      // that needs nothing, read through the read-only reopen.
      if (error.empty()) {
        const std::string_view call = n ? calls[n - 1] : "";
        const bool folderPassedBy =
            (call == "NtCreateFile" || call == "ReOpenFile" || (!restore && call == "the listing's start")) &&
            (passedBy == files[0] + L";" || passedBy == files[2] + L";" + files[3] + L";");
        EXPECT_TRUE(n == 0 ? passedBy.empty() : folderPassedBy || (call == "ReOpenFile" && passedBy.empty()))
            << "no box, and left as they were: " << Utf8(passedBy);
      } else {
        std::wsmatch named;
        EXPECT_TRUE(std::regex_match(error, named, reported) &&
                    (named[3] == files[4] || named[3].str().rfind(here.Folder(CSIDL_COMMON_APPDATA), 0) == 0))
            << Utf8(error);
      }
      ASSERT_NE(log.find(error.empty() ? L"\r\nDONE. " : L"\r\nFAILED. "), std::wstring::npos) << Utf8(log);
      EXPECT_EQ(Counted(log), changed) << Utf8(log);
    }
    std::printf("[   INFO   ] %s: %zu calls, each failed once in turn\n", restore ? "Restore" : "Remove", calls.size());
  }
  currentTree = nullptr;
}

}  // namespace table
