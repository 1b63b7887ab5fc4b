#include "report/library_calls.h"

#include "wintab/wintab_binding.h"

void CallLoadLibrary(void* argument) {
  static_cast<LibraryCall*>(argument)->library = platform::LoadLibraryNamed(wintab::kLibraryFileName);
}

void CallReleaseLibrary(void* argument) {
  auto* call = static_cast<LibraryCall*>(argument);
  call->released = platform::ReleaseLibrary(call->library);
}
