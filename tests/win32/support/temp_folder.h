// A real folder under the temporary directory, removed with everything in it
// when the owner goes away. Links inside it are removed, never followed.
#pragma once

#include <string>

#include "engine/platform.h"

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& Path() const { return path_; }
  // Path() + L"\\" + relative
  std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

 private:
  std::wstring path_;
};

// Creates every missing folder of path.
void CreateFolders(const std::wstring& path);
// Writes bytes to path (creating its folders), replacing what was there.
void WriteBytes(const std::wstring& path, const std::string& bytes);
// The file's whole content; fails the test if it cannot be read.
std::string ReadBytes(const std::wstring& path);
// The file's content, or nothing when it does not exist (yet).
std::string ReadBytesIfAny(const std::wstring& path);
bool FileExists(const std::wstring& path);
// A sparse file of the given size: nothing is written to disk.
void CreateSparseFile(const std::wstring& path, long long size);
// Sets the last-write time to a fixed date long past, and reads it back, so a
// test can prove that a file was never written.
void BackdateFile(const std::wstring& path);
long long LastWriteTime(const std::wstring& path);
void RemoveTree(const std::wstring& path);
