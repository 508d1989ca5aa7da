// The calls through which a run meets the shell and the file system, gathered
// so that tests can make faults that a real system cannot be made to produce
// on demand (a call failing as it would, memory for a file's content that a
// 64-bit process cannot be made short of, a folder swapped for a link between
// two calls), and see what every open and reopen asks for, which Wine does not
// honour.
#pragma once

#include <cstddef>
#include <new>

#include "engine/platform.h"

#include <shlobj.h>
#include <winternl.h>

// A file's content: exactly size bytes, or nothing when they cannot be had
// (never an exception). Released with delete[].
inline unsigned char* AllocateContent(size_t size) { return new (std::nothrow) unsigned char[size]; }

using NtCreateFileCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                          ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
// ntdll's NtCreateFile, looked up: the one call that opens a name relative to
// a folder's handle.
NTSTATUS NTAPI CallNtCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES object, PIO_STATUS_BLOCK status,
                                PLARGE_INTEGER size, ULONG attributes, ULONG share, ULONG disposition, ULONG options,
                                PVOID extended, ULONG extendedLength);

struct SystemCalls {
  decltype(&::SHGetFolderPathW) getFolderPath = &::SHGetFolderPathW;
  decltype(&::CreateFileW) createFile = &::CreateFileW;
  NtCreateFileCall ntCreateFile = &CallNtCreateFile;
  decltype(&::ReOpenFile) reOpenFile = &::ReOpenFile;
  decltype(&::GetFinalPathNameByHandleW) getFinalPathName = &::GetFinalPathNameByHandleW;
  decltype(&::GetFileInformationByHandleEx) getFileInformation = &::GetFileInformationByHandleEx;
  decltype(&::ReadFile) readFile = &::ReadFile;
  decltype(&::SetFilePointer) setFilePointer = &::SetFilePointer;
  decltype(&::WriteFile) writeFile = &::WriteFile;
  decltype(&AllocateContent) allocateContent = &AllocateContent;
};
