// A driver whose library never finishes loading or unloading: with
// PADSCOPE_SIM_LOADER_HANG=attach the load of the library blocks forever,
// with =detach (Windows only) its release does. On Windows this happens
// inside DllMain, where the system's loader lock is held, as it would with a
// real driver; on posix in the shared object's constructor. (The posix
// library is not unloaded by dlclose, so a destructor would only run at the
// host's exit: there is no release to hang in.)
#include <string>

#include "sim_system.h"

namespace {

void HangWhenAsked(const char* moment) {
  std::string value;
  if (sim::ReadEnvironment("PADSCOPE_SIM_LOADER_HANG", value) && value == moment) sim::HangForever();
}

}  // namespace

#if defined(_WIN32)
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) HangWhenAsked("attach");
  if (reason == DLL_PROCESS_DETACH) HangWhenAsked("detach");
  return TRUE;
}
#else
__attribute__((constructor)) static void OnLoad() { HangWhenAsked("attach"); }
#endif
