// A configuration tree in a temporary folder that the shell reports as this
// process's two application-data folders, so that a run walks it for real.
// The redirection goes through the registry's shell folder values, which name
// %ZQ_TEST_ROOT%: each tree points that variable at itself.
#pragma once

#include <string>
#include <vector>

#include "tests/win32/support/temp_folder.h"

class ConfigTree {
 public:
  ConfigTree();

  std::wstring Root() const { return root_.Path(); }
  std::wstring DeviceRoot() const;
  std::wstring UserFolder() const;
  std::wstring UserFile() const { return UserFolder() + L"\\user.xml"; }
  // A path outside both configuration folders.
  std::wstring Outside(const std::wstring& relative) const { return root_ / (L"Elsewhere\\" + relative); }

  // Replaces {dev} with the device root, {user} with the user folder and
  // {out} with the outside folder.
  std::wstring Expand(const std::wstring& text) const;
  std::vector<std::wstring> Expand(const std::vector<std::wstring>& lines) const;

 private:
  TempFolder root_;
};

// A Unix symbolic link at link pointing to target, as a user could plant with
// Wine's file system underneath; Wine reports it as a reparse point.
void CreateUnixSymlink(const std::wstring& link, const std::wstring& target);
