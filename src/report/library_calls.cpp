#include "report/library_calls.h"

#include "wintab/wintab_binding.h"

namespace {

const char16_t* libraryToLoad = wintab::kLibraryFileName;

}  // namespace

void LoadLibraryFrom(const char16_t* path) { libraryToLoad = path; }

void CallLoadLibrary(void* argument) {
  static_cast<LibraryCall*>(argument)->library = platform::LoadLibraryNamed(libraryToLoad);
}

void CallReleaseLibrary(void* argument) {
  auto* call = static_cast<LibraryCall*>(argument);
  call->released = platform::ReleaseLibrary(call->library);
}
