// Built into the shipped exe by mingw-w64 only: Visual C++'s runtime carries
// its own load configuration, which /DEPENDENTLOADFLAG fills in.
//
// The loader resolves the exe's imports, and their imports, before any of the
// program's code runs, so SetDefaultDllDirectories comes too late for them.
// DependentLoadFlags in the image's load configuration tells Windows 10 1607
// and later to resolve them from the system folder alone, never from the
// folder a downloaded exe sits in. GNU ld does not point the image's
// load-configuration directory at _load_config_used as link.exe and lld do;
// tools/dependent-load-flags does that after the link.
#if defined(__MINGW32__)
#include "engine/platform.h"

namespace {

constexpr IMAGE_LOAD_CONFIG_DIRECTORY LoadConfig() {
  IMAGE_LOAD_CONFIG_DIRECTORY config{};
  config.Size = sizeof config;                      // every field up to the safe exception handlers' count, all else 0
  config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;  // DependentLoadFlags, by mingw-w64's older name
  return config;
}

}  // namespace

extern "C" {
extern const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used;
__attribute__((used)) const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = LoadConfig();
}
#endif
