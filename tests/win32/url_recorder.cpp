// Stands in for a browser in the test prefix: registered as the handler of
// https addresses, it writes the address it was given to the file named by
// ZQ_URL_RECORD.
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  const wchar_t* record = _wgetenv(L"ZQ_URL_RECORD");
  if (!record || argc < 2) {
    return 1;
  }
  // Written beside it and then renamed, so a reader never sees half of it.
  const std::wstring partial = std::wstring(record) + L".partial";
  FILE* file = _wfopen(partial.c_str(), L"w");
  if (!file) {
    return 2;
  }
  std::fputws(argv[1], file);
  std::fclose(file);
  return _wrename(partial.c_str(), record) == 0 ? 0 : 3;
}
