// The native build has no message boxes: the "Internal Error" box that the
// renaming passes would raise on a table fault is not shown there.
#include "engine/tag_rename.h"

void ShowInternalErrorBox(HWND) {}
