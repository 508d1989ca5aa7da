// The native build has no message boxes: this stand-in counts "Internal Error"
// boxes instead of showing them.
#pragma once

int InternalErrorBoxesShown();
