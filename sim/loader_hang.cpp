// A driver whose library never finishes loading or unloading: with
// PADSCOPE_SIM_LOADER_HANG=attach the load of the library blocks forever,
// with =detach (Windows only) its release does. On Windows this happens
// inside DllMain, where the system's loader lock is held, as it would with a
// real driver; on posix in the shared object's constructor. (The posix
// library is not unloaded by dlclose, so a destructor would only run at the
// host's exit: there is no release to hang in.) A profile asks for the same
// with "load hang" or "release hang"; =check keeps a profile's from happening.
#include <cstring>
#include <string>

#include "active_profile.h"
#include "sim_system.h"

namespace {

// askProfile: false at the end of the process, when the profile must not be
// built any more (a thread ended while holding the heap would block it).
void HangWhenAsked(const char* moment, bool askProfile) {
  std::string value;
  if (sim::ReadEnvironment(sim::kLoaderHangVariable, value) && value == moment) sim::HangForever();
  // "check": a host that only looks into the profile (padscope-report
  // checking a recording before it replays it) loads and releases the
  // library without the recording's own hangs.
  if (value == sim::kCheckingHost) return;
  if (!askProfile) return;
  const sim::Profile& profile = sim::CurrentProfile().profile;
  if (std::strcmp(moment, "attach") == 0 ? profile.loadHangs : profile.releaseHangs) sim::HangForever();
}

}  // namespace

#if defined(_WIN32)
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) HangWhenAsked("attach", true);
  // reserved is null for FreeLibrary, not at the end of the process.
  if (reason == DLL_PROCESS_DETACH) HangWhenAsked("detach", reserved == nullptr);
  return TRUE;
}
#else
__attribute__((constructor)) static void OnLoad() { HangWhenAsked("attach", true); }
#endif
