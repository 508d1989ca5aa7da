// The tables of whole runs: what a run walks, what it refuses, what it
// reports, and faults that only the seam can produce. Each row a test.
#include "tests/win32/support/run_table.h"

#include "engine/checked_open.h"

namespace table {

// clang-format off
ROW(Runs, RemoveCancelledAtTheWarning, .steps = {RemoveRun}, .tree = {DeviceFile(Names), UserFile(Names)},
    .answers = {IDCANCEL}, .log = {L"Cancelled.", L""}, .boxes = {kWarningBox})

// The files that must be passed by are held open: opening one would fail
// the run. *.xml matches short 8.3 names too: backup copies must not be
// taken for configuration files.
ROW(Runs, PassesByWhatIsNoDeviceFile, .steps = {RemoveRun},
    .tree = {{.kind = HeldOpen, .path = L"{devices}\\root.xml"},
             {.kind = HeldOpen, .path = L"{programdata}\\Halvorn\\Corvela\\Devices\\up.xml"},
             {.path = L"{devices}\\M\\notes.txt"}, {.path = L"{devices}\\M\\Sub\\c.xml"},
             {.kind = Folder, .path = L"{devices}\\M\\Folder.xml"}, {.kind = Folder, .path = L"{devices}\\Empty"},
             {.path = L"{devices}\\M\\buttons.xml_backup"}, {.path = L"{devices}\\M\\old.xmlx"},
             {.path = L"{devices}\\M\\c.xml~"}, UserFile(Plain)},
    .log = {kRemoving, L"DONE. No modifications were needed.", L""}, .boxes = {kWarningBox})

ROW(Runs, TakesAnUpperCaseExtensionAndANameOfXmlAlone, .steps = {RestoreRun},
    .tree = {{.path = L"{devices}\\M\\b.XML", .before = Markers, .after = Names},
             {.path = L"{devices}\\M\\.xml", .before = Markers, .after = Names}, UserFile(Plain)},
    .log = {kRestoring, L"MODIFIED: {devices}\\M\\{1}", L"MODIFIED: {devices}\\M\\{2}",
            L"DONE. 2 files were modified.", L"", kLogout},
    .boxes = {kLogoutBox})

// Named like devices: in the "\\?\" form they are files like any other.
ROW(Runs, TakesFilesNamedLikeDevices, .steps = {RestoreRun},
    .tree = {{.path = L"{devices}\\M\\nul.xml", .before = Markers, .after = Names},
             {.path = L"{devices}\\M\\COM1.xml", .before = Markers, .after = Names},
             {.path = L"{devices}\\M\\aux.xml", .before = Markers, .after = Names}, UserFile(Plain)},
    .log = {kRestoring, L"MODIFIED: {devices}\\M\\{1}", L"MODIFIED: {devices}\\M\\{2}", L"MODIFIED: {devices}\\M\\{3}",
            L"DONE. 3 files were modified.", L"", kLogout},
    .boxes = {kLogoutBox})

ROW(Runs, TakesAPathPast300Characters, .steps = {RestoreRun},
    .tree = {{.path = L"{devices}\\{long}\\{long}.xml", .before = Markers, .after = Names}, UserFile(Plain)},
    .log = {kRestoring, L"MODIFIED: {devices}\\{long}\\{long}.xml", L"DONE. 1 files were modified.", L"", kLogout},
    .boxes = {kLogoutBox})

// A second name of a file elsewhere: never read, never written, no success
// claimed, and not kept locked while the box is up.
ROW(Runs, RefusesADeviceFileHardLinkedElsewhere, .steps = {RestoreRun},
    .tree = {{.path = L"{elsewhere}\\x.xml", .before = Markers},
             {.kind = HardLink, .path = L"{devices}\\M\\a.xml", .target = L"{elsewhere}\\x.xml"}, UserFile(Markers)},
    .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{devices}\\M\\a.xml\""),
    .boxes = {Error(L"Failed to open \"{devices}\\M\\a.xml\"")}, .released = true)

// Held open: a run that went through the link would fail on it instead.
ROW(Runs, RefusesALinkedDeviceFolder, .steps = {RemoveRun},
    .tree = {{.kind = HeldOpen, .path = L"{elsewhere}\\x.xml"},
             {.kind = Link, .path = L"{devices}\\Linked", .target = L"{elsewhere}"}, UserFile(Names)},
    .log = FailsOnFirstFile(kRemoving, L"Failed to open \"{devices}\\Linked\"", L"{devices}\\Linked"),
    .boxes = {kWarningBox, Error(L"Failed to open \"{devices}\\Linked\"")})

// Not a sub-folder to pass by: a link met anywhere fails the run.
ROW(Runs, RefusesAnXmlEntryLinkedToAFolder, .steps = {RemoveRun},
    .tree = {{.kind = Folder, .path = L"{elsewhere}\\Target"},
             {.kind = Link, .path = L"{devices}\\M\\Linked.xml", .target = L"{elsewhere}\\Target"},
             UserFile(Names)},
    .log = FailsOnFirstFile(kRemoving, L"Failed to open \"{devices}\\M\\Linked.xml\"", L"{devices}\\M\\Linked.xml"),
    .boxes = {kWarningBox, Error(L"Failed to open \"{devices}\\M\\Linked.xml\"")})

// The user can make this link without any rights.
ROW(Runs, RefusesTheUsersVendorFolderLinkedElsewhere, .steps = {RemoveRun},
    .tree = {{.path = L"{elsewhere}\\Halvorn\\Corvela\\user.xml"},
             {.kind = Link, .path = L"{appdata}\\Halvorn", .target = L"{elsewhere}\\Halvorn"}, kEmptyDeviceRoot},
    .log = FailsOnFirstFile(kRemoving, L"Failed to open \"{user}\\user.xml\"", L"{user}\\user.xml"),
    .boxes = {kWarningBox, Error(L"Failed to open \"{user}\\user.xml\"")}, .released = true)

// Linked to a folder that lies inside the common folder too.
ROW(Runs, NeverSearchesADeviceRootReachedThroughALink, .steps = {RemoveRun},
    .tree = {{.kind = HeldOpen, .path = L"{programdata}\\Other\\Halvorn\\Corvela\\Devices\\PointingDevice\\M\\a.xml"},
             {.kind = Link, .path = L"{programdata}\\Halvorn", .target = L"{programdata}\\Other\\Halvorn"},
             UserFile(Names)},
    .log = FailsOnFirstFile(kRemoving, L"Failed to open \"{devices}\"", L"{devices}"),
    .boxes = {kWarningBox, Error(L"Failed to open \"{devices}\"")})

// Refused in the same form when the link's target has gone.
ROW(Runs, RefusesADanglingLinkAboveTheRoot, .steps = {RemoveRun},
    .tree = {{.kind = Folder, .path = L"{elsewhere}\\Gone"},
             {.kind = Link, .path = L"{programdata}\\Halvorn", .target = L"{elsewhere}\\Gone"}, UserFile(Names)},
    .log = FailsOnFirstFile(kRemoving, L"Failed to open \"{devices}\"", L"{devices}"),
    .boxes = {kWarningBox, Error(L"Failed to open \"{devices}\"")}, .fault = {.removed = L"{elsewhere}\\Gone"})

// Both the final paths and the device's names are compared by name.
ROW(Runs, FindsNamesInAnyCaseAndBeyondAscii, .steps = {RestoreRun},
    .tree = {{.path = L"{programdata}\\HALVORN\\corvela\\DEVICES\\pointingdevice\\M\u00e4use \u03a9\\\u00e9\u65e5.xml",
              .before = Markers, .after = Names},
             {.path = L"{appdata}\\HALVORN\\corvela\\User.xml", .before = Markers, .after = Names}},
    .log = {kRestoring, L"MODIFIED: {devices}\\M\u00e4use \u03a9\\\u00e9\u65e5.xml", L"MODIFIED: {user}\\user.xml",
            L"DONE. 2 files were modified.", L"", kLogout},
    .boxes = {kLogoutBox})

ROW(Runs, StopsAtAFileHeldOpenMidWalk, .steps = {RemoveRun},
    .tree = {{.path = L"{devices}\\M\\{1}", .after = Markers}, {.kind = HeldOpen, .path = L"{devices}\\M\\{2}"},
             {.path = L"{devices}\\M\\{3}"}, UserFile(Names)},
    .log = {kRemoving, L"MODIFIED: {devices}\\M\\{1}", L"Failed to open \"{devices}\\M\\{2}\"",
            L"FAILED: {devices}\\M\\{2}", L"Aborted.", L"FAILED. However, 1 files were modified successfully.", L""},
    .boxes = {kWarningBox, Error(L"Failed to open \"{devices}\\M\\{2}\"")})

ROW(Runs, RefusesAUserFileOf4GiB, .steps = {RestoreRun},
    .tree = {{.kind = Sparse4GiB, .path = L"{user}\\user.xml"}, kEmptyDeviceRoot},
    .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{user}\\user.xml\"", L"{user}\\user.xml"),
    .boxes = {Error(L"Failed to open \"{user}\\user.xml\"")})

// A file one byte short of 4 GiB finds no room in a 32-bit process. A
// 64-bit one would read it all: there the seam refuses the memory instead.
ROW(Runs, ReportsNoMemoryForTheContent, .steps = {RestoreRun},
    .tree = {{.kind = sizeof(void*) == 4 ? Sparse4GiBLess1 : File, .path = L"{user}\\user.xml"}, kEmptyDeviceRoot},
    .log = FailsOnFirstFile(kRestoring, L"Failed to allocate memory for \"{user}\\user.xml\"", L"{user}\\user.xml"),
    .boxes = {Error(L"Failed to allocate memory for \"{user}\\user.xml\"")},
    .fault = {.outOfMemory = sizeof(void*) > 4})

// A device file and the user's file, both with names to restore.
const std::vector<Entry> kBothToRestore = {DeviceFile(Markers), UserFile(Markers)};

ROW(Runs, RefusesADeviceFolderSwappedForALinkAfterItWasListed, .steps = {RestoreRun}, .tree = kBothToRestore,
    .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{devices}\\M\"", L"{devices}\\M"),
    .boxes = {Error(L"Failed to open \"{devices}\\M\"")}, .fault = {.swappedForLink = L"{devices}\\M"})

// Swapped for a link to a sibling whose name begins with its own: a final
// path is compared whole.
ROW(Runs, RefusesADeviceFileSwappedForALinkToASibling, .steps = {RestoreRun}, .tree = kBothToRestore,
    .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{devices}\\M\\a.xml\""),
    .boxes = {Error(L"Failed to open \"{devices}\\M\\a.xml\"")},
    .fault = {.swappedForLink = L"{devices}\\M\\a.xml", .movedTo = L"{devices}\\M\\a.xml2"}, .released = true)

// The device root and the device folder cannot be moved while a file in
// them is handled; a second run follows the first one's last line at once.
ROW(Runs, HoldTheirFoldersAndFollowEachOther, .steps = {RestoreRun, RestoreRun},
    .tree = {DeviceFile(Markers, Names), UserFile(Markers, Names)},
    .log = {kRestoring, L"MODIFIED: {devices}\\M\\a.xml", L"MODIFIED: {user}\\user.xml", L"DONE. 2 files were modified.",
            L"", kLogout, kRestoring, L"DONE. No modifications were needed.", L""},
    .boxes = {kLogoutBox}, .fault = {.movingHeldFolders = true})

// Another opener holds the device folder with delete access: the run cannot
// hold it, and says so rather than pass it by.
ROW(Runs, FailsOnADeviceFolderHeldForDeletion, .steps = {RestoreRun},
    .tree = {DeviceFile(Markers), {.kind = HeldForDeletion, .path = L"{devices}\\M"}, UserFile(Markers)},
    .log = {kRestoring, L"Failed to search \"{devices}\\M\\*.xml\"", L"FAILED. No modifications succeeded.", L""},
    .boxes = {Error(L"Failed to search \"{devices}\\M\\*.xml\"")})

ROW(Runs, ReportsAWindowWithoutItsLog, .steps = {RestoreRun}, .tree = kBothToRestore,
    .boxes = {Error(L"Error setting up GUI.")}, .fault = {.withoutLog = true})

// Wine run by root writes read-only files regardless: the unprivileged ctest
// entry runs these as a user who is refused for real; Windows refuses everyone.
ROW(ReadOnly, RefusesToWriteAFileThatNeedsARename, .steps = {RestoreRun},
    .tree = {{.kind = ReadOnlyFile, .path = L"{user}\\user.xml", .before = Markers}, kEmptyDeviceRoot},
    .log = {kRestoring, L"Cannot write to \"{user}\\user.xml\"", kAdministrator, L"FAILED: {user}\\user.xml",
            L"Aborted.", L"FAILED. No modifications succeeded.", L""},
    .boxes = {Error(L"Cannot write to \"{user}\\user.xml\"\n\n" + std::wstring(kAdministrator))})

ROW(ReadOnly, PassesAFileThatNeedsNothing, .steps = {RestoreRun},
    .tree = {{.kind = ReadOnlyFile, .path = L"{user}\\user.xml", .before = Plain}, kEmptyDeviceRoot},
    .log = {kRestoring, L"DONE. No modifications were needed.", L""})
// clang-format on

// A common folder at the root of a drive has a final path that ends in a
// separator of its own.
TEST(Runs, PathsBelowADriveRootHaveOneSeparator) {
  EXPECT_EQ(Below(L"\\\\?\\Q:\\", L"\\Halvorn"), L"\\\\?\\Q:\\Halvorn");
  EXPECT_EQ(Below(L"\\\\?\\Q:\\ProgramData", L"\\Halvorn"), L"\\\\?\\Q:\\ProgramData\\Halvorn");
}

}  // namespace table
