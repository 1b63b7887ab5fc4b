// The entry points of the simulated WINTAB32.DLL. On Windows the .def file
// exports them by their plain names; on posix they are the only symbols
// the shared object makes visible.
#include <cstdint>

#include "active_profile.h"
#include "answer.h"
#include "pen_contexts.h"
#include "sim_version.h"
#include "wintab/wintab_binding.h"

#if defined(_WIN32)
#define PADSCOPE_SIM_EXPORT
#else
#define PADSCOPE_SIM_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

#if !defined(PADSCOPE_SIM_WITHOUT_WTINFO)
PADSCOPE_SIM_EXPORT uint32_t PADSCOPE_WINTAB_API WTInfoW(uint32_t category, uint32_t index, void* output) {
  return sim::AnswerQuery(category, index, output);
}
#endif

PADSCOPE_SIM_EXPORT void* PADSCOPE_WINTAB_API WTOpenW(void* window, void* context, int enable) {
  return sim::OpenContext(window, context, enable);
}

PADSCOPE_SIM_EXPORT int PADSCOPE_WINTAB_API WTClose(void* context) { return sim::CloseContext(context); }

PADSCOPE_SIM_EXPORT int PADSCOPE_WINTAB_API WTEnable(void* context, int enable) {
  return sim::EnableContext(context, enable);
}

PADSCOPE_SIM_EXPORT int PADSCOPE_WINTAB_API WTPacketsGet(void* context, int maximum, void* packets) {
  return sim::GetPackets(context, maximum, packets);
}

// Why the current PADSCOPE_SIM_PROFILE / PADSCOPE_SIM_INJECT cannot be used
// ("" when they can). Valid until the process ends.
PADSCOPE_SIM_EXPORT const char* PadscopeSimProfileError() { return sim::CurrentProfile().error.c_str(); }

#if !defined(_WIN32)
// The posix stand-in for a version resource: key, value, key, value, ...
// each NUL-terminated, ended by an empty key.
PADSCOPE_SIM_EXPORT extern const char16_t PadscopeVersionStrings[];
const char16_t PadscopeVersionStrings[] =
    u"CompanyName\0" u"" PADSCOPE_SIM_COMPANY_NAME "\0"
    u"FileDescription\0" u"" PADSCOPE_SIM_FILE_DESCRIPTION "\0"
    u"FileVersion\0" u"" PADSCOPE_SIM_FILE_VERSION "\0"
    u"InternalName\0" u"" PADSCOPE_SIM_INTERNAL_NAME "\0"
    u"LegalCopyright\0" u"" PADSCOPE_SIM_COPYRIGHT "\0"
    u"OriginalFilename\0" u"" PADSCOPE_SIM_ORIGINAL_FILENAME "\0"
    u"ProductName\0" u"" PADSCOPE_SIM_PRODUCT_NAME "\0"
    u"ProductVersion\0" u"" PADSCOPE_SIM_PRODUCT_VERSION "\0"
    u"\0";
#endif

}  // extern "C"
