#include "ui/format_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <new>

#include "engine/platform.h"

namespace {

struct FreeWide {
  void operator()(wchar_t* p) const { ::operator delete(p, std::nothrow); }
};
using WideBuffer = std::unique_ptr<wchar_t, FreeWide>;

WideBuffer AllocateWide(size_t capacity) {
  // A request whose byte size does not fit in 32 bits asks for the largest size
  // instead, which cannot be had: the same answer on every platform.
  const bool fits = capacity <= UINT32_MAX / sizeof(wchar_t);
  const size_t bytes = fits ? capacity * sizeof(wchar_t) : SIZE_MAX;
  return WideBuffer(static_cast<wchar_t*>(::operator new(bytes, std::nothrow)));
}

// Writes at most capacity characters including the NUL and always terminates;
// negative when the text did not fit or could not be formatted.
int FormatBounded(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list values) {
#ifdef _WIN32
  return _vsnwprintf_s(buffer, capacity, _TRUNCATE, format, values);
#else
  return std::vswprintf(buffer, capacity, format, values);
#endif
}

bool FormatTextV(std::wstring& output, const wchar_t* format, va_list values) {
  // Three halves of the format's length, at least 64: every summary line fits
  // the first attempt, and longer texts take a logarithmic number of attempts.
  size_t capacity = std::max<size_t>(std::wcslen(format) * 3 / 2, 64);
  for (;;) {
    WideBuffer buffer = AllocateWide(capacity);
    if (!buffer) {
      ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      output.clear();
      return false;
    }
    va_list attempt;
    va_copy(attempt, values);
    const int written = FormatBounded(buffer.get(), capacity, format, attempt);
    va_end(attempt);
    if (written >= 0 && static_cast<size_t>(written) != capacity) {
      output.assign(buffer.get());
      return true;
    }
    capacity *= 2;
  }
}

}  // namespace

bool FormatText(std::wstring& output, const wchar_t* format, ...) {
  va_list values;
  va_start(values, format);
  const bool formatted = FormatTextV(output, format, values);
  va_end(values);
  return formatted;
}
