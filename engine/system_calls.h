// The calls through which a run meets the shell and the file system, gathered
// so that tests can replace one of them for a fault that a real system cannot be
// made to produce on demand: a failing folder query, a listing that fails part
// way, a search that cannot start, a short read, a failed seek or write, a file
// whose final path or link count cannot be read, memory for a file's content
// that cannot be had (which a 64-bit process cannot be made short of); and to
// see what every open asks for, which Wine does not honour.
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
  decltype(&::FindFirstFileW) findFirstFile = &::FindFirstFileW;
  decltype(&::FindNextFileW) findNextFile = &::FindNextFileW;
  decltype(&::GetFinalPathNameByHandleW) getFinalPathName = &::GetFinalPathNameByHandleW;
  decltype(&::GetFileInformationByHandleEx) getFileInformation = &::GetFileInformationByHandleEx;
  decltype(&::ReadFile) readFile = &::ReadFile;
  decltype(&::SetFilePointer) setFilePointer = &::SetFilePointer;
  decltype(&::WriteFile) writeFile = &::WriteFile;
  decltype(&AllocateContent) allocateContent = &AllocateContent;
};
