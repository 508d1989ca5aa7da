#include "ui/hardening.h"

#include "engine/platform.h"

void HardenProcess() {
  // Not the program's own folder, nor the current one: a DLL planted beside a
  // downloaded exe would otherwise be loaded, by the system's own libraries
  // too, into an elevated process.
  if (const auto set = SystemFunction<BOOL(WINAPI*)(DWORD)>(L"kernel32.dll", "SetDefaultDllDirectories")) {
    set(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // A user who is not an administrator can make junctions in the folders this
  // program walks; the system then refuses to follow them for us.
  if (const auto set = SystemFunction<BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T)>(
          L"kernel32.dll", "SetProcessMitigationPolicy")) {
    PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy{};
    policy.EnforceRedirectionTrust = 1;
    set(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
  }
}
