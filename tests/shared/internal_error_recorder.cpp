#include "tests/shared/internal_error_recorder.h"

#include "engine/tag_rename.h"

namespace {
int boxesShown = 0;
}

void ShowInternalErrorBox(HWND) { ++boxesShown; }

int InternalErrorBoxesShown() { return boxesShown; }
