// The calls through which a run meets the shell and the file system, gathered
// so that tests can make faults that a real system cannot be made to produce
// on demand: each call of a run failing in turn (a folder query, an open, a
// listing, a final path or link count, a read, a seek, a write, memory for a
// file's content, which a 64-bit process cannot be made short of), a root
// whose final path keeps growing, an entry listed as a link, a folder swapped
// for a link mid-run; and to see what every open and reopen asks for, which
// Wine does not honour.
#pragma once

#include <cstddef>
#include <new>

#include "engine/platform.h"

#include <shlobj.h>

// A file's content: exactly size bytes, or nothing when they cannot be had
// (never an exception). Released with delete[].
inline unsigned char* AllocateContent(size_t size) { return new (std::nothrow) unsigned char[size]; }

struct SystemCalls {
  decltype(&::SHGetFolderPathW) getFolderPath = &::SHGetFolderPathW;
  decltype(&::CreateFileW) createFile = &::CreateFileW;
  decltype(&::ReOpenFile) reOpenFile = &::ReOpenFile;
  decltype(&::FindFirstFileW) findFirstFile = &::FindFirstFileW;
  decltype(&::FindNextFileW) findNextFile = &::FindNextFileW;
  decltype(&::GetFinalPathNameByHandleW) getFinalPathName = &::GetFinalPathNameByHandleW;
  decltype(&::GetFileInformationByHandleEx) getFileInformation = &::GetFileInformationByHandleEx;
  decltype(&::ReadFile) readFile = &::ReadFile;
  decltype(&::SetFilePointer) setFilePointer = &::SetFilePointer;
  decltype(&::WriteFile) writeFile = &::WriteFile;
  decltype(&AllocateContent) allocateContent = &AllocateContent;
};
