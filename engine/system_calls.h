// The calls through which a run meets the shell and the file system, gathered
// so that tests can replace one of them for a fault that a real system cannot be
// made to produce on demand: a failing folder query, a listing that fails part
// way, a search that cannot start, a short read, a failed seek or write, a file
// whose final path or link count cannot be read.
#pragma once

#include "engine/platform.h"

#include <shlobj.h>

struct SystemCalls {
  decltype(&::SHGetFolderPathW) getFolderPath = &::SHGetFolderPathW;
  decltype(&::FindFirstFileW) findFirstFile = &::FindFirstFileW;
  decltype(&::FindNextFileW) findNextFile = &::FindNextFileW;
  decltype(&::GetFinalPathNameByHandleW) getFinalPathName = &::GetFinalPathNameByHandleW;
  decltype(&::GetFileInformationByHandleEx) getFileInformation = &::GetFileInformationByHandleEx;
  decltype(&::ReadFile) readFile = &::ReadFile;
  decltype(&::SetFilePointer) setFilePointer = &::SetFilePointer;
  decltype(&::WriteFile) writeFile = &::WriteFile;
};
