// The entry points of the simulated WINTAB32.DLL. On Windows the .def file
// exports them by their plain names; on posix they are the only symbols
// the shared object makes visible.
//
// On posix a profile can also take entry points away ("lacks") and replace
// the version strings ("version"): each entry point is an indirect function
// whose resolver, run when the host looks the name up, answers null for a
// lacked one; the version table is filled from the profile at load time.
#include <cstdint>
#include <string>

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

namespace {

#if !defined(PADSCOPE_SIM_WITHOUT_WTINFO)
uint32_t PADSCOPE_WINTAB_API AnswerInfo(uint32_t category, uint32_t index, void* output) {
  return sim::AnswerQuery(category, index, output);
}
#endif

// The pen entry points play the profile's packet script.
void* PADSCOPE_WINTAB_API OpenContext(void* window, void* context, int enable) {
  return sim::OpenContext(window, context, enable);
}
int PADSCOPE_WINTAB_API CloseContext(void* context) { return sim::CloseContext(context); }
int PADSCOPE_WINTAB_API EnableContext(void* context, int enable) { return sim::EnableContext(context, enable); }
int PADSCOPE_WINTAB_API GetPackets(void* context, int maximum, void* packets) {
  return sim::GetPackets(context, maximum, packets);
}

}  // namespace

extern "C" {

#if defined(_WIN32)
#if !defined(PADSCOPE_SIM_WITHOUT_WTINFO)
PADSCOPE_SIM_EXPORT uint32_t PADSCOPE_WINTAB_API WTInfoW(uint32_t category, uint32_t index, void* output) {
  return AnswerInfo(category, index, output);
}
#endif
PADSCOPE_SIM_EXPORT void* PADSCOPE_WINTAB_API WTOpenW(void* window, void* context, int enable) {
  return OpenContext(window, context, enable);
}
PADSCOPE_SIM_EXPORT int PADSCOPE_WINTAB_API WTClose(void* context) { return CloseContext(context); }
PADSCOPE_SIM_EXPORT int PADSCOPE_WINTAB_API WTEnable(void* context, int enable) {
  return EnableContext(context, enable);
}
PADSCOPE_SIM_EXPORT int PADSCOPE_WINTAB_API WTPacketsGet(void* context, int maximum, void* packets) {
  return GetPackets(context, maximum, packets);
}
#else
// The resolvers: the implementation, or null when the profile lacks the name.
#define PADSCOPE_SIM_ENTRY(name, implementation, returns, ...)                                   \
  static returns (*Resolve##name())(__VA_ARGS__) {                                                \
    return sim::CurrentProfile().profile.Lacks(#name) ? nullptr : &implementation;               \
  }                                                                                                \
  PADSCOPE_SIM_EXPORT returns name(__VA_ARGS__) __attribute__((ifunc("Resolve" #name)));
#if !defined(PADSCOPE_SIM_WITHOUT_WTINFO)
PADSCOPE_SIM_ENTRY(WTInfoW, AnswerInfo, uint32_t, uint32_t, uint32_t, void*)
#endif
PADSCOPE_SIM_ENTRY(WTOpenW, OpenContext, void*, void*, void*, int)
PADSCOPE_SIM_ENTRY(WTClose, CloseContext, int, void*)
PADSCOPE_SIM_ENTRY(WTEnable, EnableContext, int, void*, int)
PADSCOPE_SIM_ENTRY(WTPacketsGet, GetPackets, int, void*, int, void*)
#undef PADSCOPE_SIM_ENTRY
#endif

// Why the current PADSCOPE_SIM_PROFILE / PADSCOPE_SIM_INJECT cannot be used
// ("" when they can). Valid until the process ends.
PADSCOPE_SIM_EXPORT const char* PadscopeSimProfileError() { return sim::CurrentProfile().error.c_str(); }

// For the program that replays a recording: why the profile cannot be
// used, its file named first ("FILE: line N: ..."), or "" when it can.
PADSCOPE_SIM_EXPORT const char* PadscopeSimRecordingError() { return sim::CurrentProfile().fileError.c_str(); }

// What the current profile kept of a recorded run: "options", the recorded
// options, or a system fact by its name. Null when the profile has none.
// Valid until the process ends (profiles are never freed).
PADSCOPE_SIM_EXPORT const char16_t* PadscopeSimRecorded(const char* key) {
  const std::u16string* found = nullptr;
  for (const auto& fact : sim::CurrentProfile().profile.recorded) {
    if (fact.first == key) found = &fact.second;
  }
  return found != nullptr ? found->c_str() : nullptr;
}

#if !defined(_WIN32)
// The posix stand-in for a version resource: key, value, key, value, ...
// each NUL-terminated, ended by an empty key. Filled at load time.
inline constexpr size_t kVersionTableUnits = 8192;
PADSCOPE_SIM_EXPORT extern char16_t PadscopeVersionStrings[kVersionTableUnits];
char16_t PadscopeVersionStrings[kVersionTableUnits];
#endif

}  // extern "C"

#if !defined(_WIN32)
namespace {

// The library's own strings, those of its Windows version resource.
constexpr const char16_t* kOwnVersionStrings[][2] = {
    {u"CompanyName", u"" PADSCOPE_SIM_COMPANY_NAME},
    {u"FileDescription", u"" PADSCOPE_SIM_FILE_DESCRIPTION},
    {u"FileVersion", u"" PADSCOPE_SIM_FILE_VERSION},
    {u"InternalName", u"" PADSCOPE_SIM_INTERNAL_NAME},
    {u"LegalCopyright", u"" PADSCOPE_SIM_COPYRIGHT},
    {u"OriginalFilename", u"" PADSCOPE_SIM_ORIGINAL_FILENAME},
    {u"ProductName", u"" PADSCOPE_SIM_PRODUCT_NAME},
    {u"ProductVersion", u"" PADSCOPE_SIM_PRODUCT_VERSION},
};

// The profile's strings replace the library's own key by key; a key the
// library does not have is added.
__attribute__((constructor)) void FillVersionStrings() {
  const sim::Profile& profile = sim::CurrentProfile().profile;
  std::u16string table;
  auto add = [&table](const std::u16string& key, const std::u16string& value) {
    if (table.size() + key.size() + value.size() + 3 > kVersionTableUnits) return;
    table += key;
    table += u'\0';
    table += value;
    table += u'\0';
  };
  auto replaced = [&profile](const std::u16string& key) -> const sim::VersionString* {
    const sim::VersionString* found = nullptr;
    for (const sim::VersionString& version : profile.versions) {
      if (std::u16string(version.key.begin(), version.key.end()) == key) found = &version;
    }
    return found;
  };
  for (const auto& own : kOwnVersionStrings) {
    const std::u16string key = own[0];
    const sim::VersionString* version = replaced(key);
    if (version == nullptr) {
      add(key, own[1]);
    } else if (version->value) {
      add(key, *version->value);
    }
  }
  for (size_t i = 0; i < profile.versions.size(); ++i) {
    const sim::VersionString& version = profile.versions[i];
    const std::u16string key(version.key.begin(), version.key.end());
    bool own = false;
    for (const auto& entry : kOwnVersionStrings) own = own || key == entry[0];
    if (own || !version.value || replaced(key) != &version) continue;
    add(key, *version.value);
  }
  table.copy(PadscopeVersionStrings, table.size());
  PadscopeVersionStrings[table.size()] = 0;
}

}  // namespace
#endif
