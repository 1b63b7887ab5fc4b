#include "cli/console_interrupt.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

namespace {

std::atomic<bool>* interruptRequested = nullptr;

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  interruptRequested->store(true);
  return TRUE;
}
#else
void OnInterrupt(int) { interruptRequested->store(true); }
#endif

}  // namespace

void CatchInterrupt(std::atomic<bool>* requested) {
  interruptRequested = requested;
#ifdef _WIN32
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
#else
  struct sigaction action{};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
#endif
}
