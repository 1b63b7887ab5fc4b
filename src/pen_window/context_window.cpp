#include "pen_window/context_window.h"

#include "platform/windows_headers.h"

namespace {

// Wine exports its version from its own ntdll; Windows has no such export.
bool RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

// Under Wine the X11 driver hears the tablet on the display connection of
// the thread that opened the context, and gives a packet to the context
// whose window that thread created. The context is opened on the worker,
// the canvas belongs to the window's thread, so packets for the canvas
// would go to no context. A context owned by the desktop gets them: the
// pen's events rise to the screen's root window, which Wine reports as the
// desktop. The worker never owns a window of its own, so that a driver
// that hangs it cannot freeze anything on the screen.
void* ContextWindowFor(void* canvasWindow) {
  if (!RunsUnderWine()) return canvasWindow;
  return GetDesktopWindow();
}
