#include "engine/tag_rename.h"
#include "ui/activity_log.h"

void ShowInternalErrorBox(HWND owner) { ShowMessage(owner, L"Internal Error", MB_ICONERROR); }
