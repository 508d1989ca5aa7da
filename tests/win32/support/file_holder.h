// Holds a file open with share mode 0 from a second process, as another program
// would, until the holder goes away.
#pragma once

#include <string>

#include "engine/unique_handle.h"

class FileHolder {
 public:
  explicit FileHolder(const std::wstring& path);
  ~FileHolder();
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;

 private:
  UniqueKernelHandle release_;
  UniqueKernelHandle process_;
};

// The second process's side; the test executables' main calls it when started
// as "--hold-file PATH EVENT-PREFIX".
int HoldFileUntilReleased(const wchar_t* path, const wchar_t* eventPrefix);
