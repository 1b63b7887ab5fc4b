// A stand-in WINTAB32.DLL for the fuzz target: WTInfoW forwards every call to
// whatever answerer the fuzz target installs. Linked into the fuzz target, so
// that loading "WINTAB32.DLL" finds this already-loaded object by its name.
#include <cstdint>

using Answerer = uint32_t (*)(uint32_t category, uint32_t index, void* output);

namespace {
Answerer installed = nullptr;
}

extern "C" {

__attribute__((visibility("default"))) void PadscopeFuzzInstall(Answerer answerer) { installed = answerer; }

__attribute__((visibility("default"))) uint32_t WTInfoW(uint32_t category, uint32_t index, void* output) {
  return installed != nullptr ? installed(category, index, output) : 0;
}
__attribute__((visibility("default"))) void* WTOpenW(void*, void*, int) { return nullptr; }
__attribute__((visibility("default"))) int WTClose(void*) { return 0; }
__attribute__((visibility("default"))) int WTEnable(void*, int) { return 0; }
__attribute__((visibility("default"))) int WTPacketsGet(void*, int, void*) { return 0; }
}
