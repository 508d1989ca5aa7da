// Whole runs over real configuration trees, with the real main window (built
// in this process from the program's own template) and real message boxes.
// Each row of a table is a test of its own: a tree with every entry's content
// before and after, the runs, the answers to the boxes, the log and the boxes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "engine/system_calls.h"
#include "tests/win32/support/harness.h"

namespace table {

inline constexpr wchar_t kAdministrator[] =
    L"The first user to run the tool must be an administrator so that the global configuration files may be "
    L"modified.";

// What a file holds: element names, as a Restore run leaves them; the markers
// a Remove run writes; nothing to rename. As "after" only: unchanged.
enum Content { Names, Markers, Plain, AsBefore };

// HeldOpen: a file that another opener holds, sharing nothing, during the runs;
// HeldForDeletion: a folder that another opener holds with delete access.
// Link: a link to the folder or file "target", as a standard user can plant one.
// HardLink: a second name of the file "target". Sparse4GiB: a file of 4 GiB of
// which nothing is written; Sparse4GiBLess1, the same one byte shorter.
enum Kind { File, ReadOnlyFile, HeldOpen, HeldForDeletion, Folder, Link, HardLink, Sparse4GiB, Sparse4GiBLess1 };

struct Entry {
  Kind kind = File;
  const wchar_t* path = L"";
  const wchar_t* target = L"";
  Content before = Names;  // of a file; other kinds have no content
  Content after = AsBefore;
};

enum Step { RemoveRun, RestoreRun };

// Faults that no real folder or file can be made to produce on demand, made
// through the program's system-call seam. Every path is written with the
// tokens of Row::tree.
struct Fault {
  // Just before this folder or file is opened, it is moved to movedTo and a
  // link to it put in its place, as a user racing the run could do.
  const wchar_t* swappedForLink = L"";
  const wchar_t* movedTo = L"{elsewhere}\\Swapped";
  bool outOfMemory = false;        // no memory for any file's content: the allocation names no file
  bool movingHeldFolders = false;  // tried on {devices} and {devices}\M as {devices}\M\a.xml is opened
  bool withoutLog = false;         // the window's log control destroyed before the runs
  const wchar_t* removed = L"";    // removed before the runs: what links to it dangles
};

struct Row {
  std::vector<Step> steps;
  // {devices} the device root, {user} the user folder, {programdata} the
  // common folder, {elsewhere} a folder outside all three; {1}, {2}, {3} the
  // *.xml files of {devices}\M in the order the file system lists them, which
  // is the order a run takes; {long} a name that makes
  // "{devices}\{long}\{long}.xml" 310 characters long, past MAX_PATH.
  std::vector<Entry> tree;
  std::vector<int> answers = {};  // to the boxes in turn; OK after them
  std::vector<std::wstring> log = {};
  std::vector<Box> boxes = {};
  Fault fault = {};
  // The file that an error box names is not held while the box is up: one the
  // run did not choose (shown to be another one, or a link never opened).
  bool released = false;
};

// A row of a table, as a test of its own: ROW(Suite, Name, .steps = ..., ...).
#define ROW(suite, name, ...) \
  TEST(suite, name) { table::RunRow(table::Row{__VA_ARGS__}); }
void RunRow(const Row& row);
std::string Bytes(Content content);

// Files of a row's tree as most rows have them.
Entry DeviceFile(Content before, Content after = AsBefore);
Entry UserFile(Content before, Content after = AsBefore);
inline const Entry kEmptyDeviceRoot = {.kind = Folder, .path = L"{devices}"};
inline Box Error(const std::wstring& text) { return {Icon::Error, text}; }
inline const Box kWarningBox = {Icon::Warning, kWarning}, kLogoutBox = {Icon::Information, kLogout};
// The log of a run that fails on its first file or folder: by default the
// first device file, as a Restore run or a confirmed Remove run logs it.
std::vector<std::wstring> FailsOnFirstFile(const wchar_t* header, const wchar_t* line,
                                           const wchar_t* file = L"{devices}\\M\\a.xml");

// The program's system calls as the tests hand them to a run: real, but for
// the faults of the row (or the sweep) under way.
extern const SystemCalls kSeam;
extern const ConfigTree* currentTree;
extern Fault fault;
// A row whose fault could not be made here is skipped.
extern bool rowSkipped;
// Each object that the run reopened (for its content, to list or to hold it)
// and, on Windows, each it opened at all, by the file system's identity of it.
using Reached = std::tuple<DWORD, DWORD, DWORD>;  // volume, file index
Reached IdentityOf(HANDLE handle);
extern std::vector<Reached> reached;
// The sweep: each call a run makes through the seam is named here in turn;
// the one numbered failing (from 1) fails as that call really fails, and every
// other call is real. searchError: how a search fails, at once with "no more
// files" (a failure) or with access denied (a device folder then passed by,
// as one with no *.xml in it).
extern std::vector<const char*> callsMade;
extern size_t failing;
extern DWORD searchError;

}  // namespace table
