// printf-style formatting into a wide string, with a heap buffer that grows until
// the text fits and an allocation that fails rather than throws.
#pragma once

#include <string>

// True with the formatted text in output; false with output empty when memory
// ran out (the last-error code is then ERROR_NOT_ENOUGH_MEMORY).
bool FormatText(std::wstring& output, const wchar_t* format, ...);
