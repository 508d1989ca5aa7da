// The main window built in this process from the program's own resources
// (linked into this test too), for what another process cannot see under Wine.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "ui/main_dialog.h"

namespace {

SIZE IconSize(HICON icon) {
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) {
    return {0, 0};
  }
  BITMAP bitmap{};
  ::GetObjectW(info.hbmMask, sizeof bitmap, &bitmap);
  ::DeleteObject(info.hbmMask);
  if (info.hbmColor) {
    ::DeleteObject(info.hbmColor);
  }
  return {bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

TEST(MainDialog, SetsBothIconsAtTheirFixedSizes) {
  const HWND dialog =
      ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0);
  ASSERT_TRUE(dialog);
  const auto big = reinterpret_cast<HICON>(::SendMessageW(dialog, WM_GETICON, ICON_BIG, 0));
  const auto small = reinterpret_cast<HICON>(::SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0));
  ASSERT_TRUE(big);
  ASSERT_TRUE(small);
  EXPECT_EQ(IconSize(big).cx, 32);
  EXPECT_EQ(IconSize(big).cy, 32);
  EXPECT_EQ(IconSize(small).cx, 16);
  EXPECT_EQ(IconSize(small).cy, 16);
  EXPECT_FALSE(::IsWindowVisible(dialog)) << "created hidden, to be placed first";
  EXPECT_EQ(::SendMessageW(::GetDlgItem(dialog, IDC_LOG), EM_GETLIMITTEXT, 0, 0), -1)
      << "the log's text limit is lifted";
  ::DestroyWindow(dialog);
  MSG quit{};
  EXPECT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "closing posts the quit message";
}

}  // namespace
