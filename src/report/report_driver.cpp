#include "report/report_driver.h"

#include <cstdint>
#include <iterator>

#include "format/context_format.h"
#include "format/value_format.h"
#include "platform/platform.h"
#include "report/answer_logging.h"
#include "report/dialog_state.h"
#include "report/library_calls.h"
#include "report/query_info.h"
#include "report/report_sections.h"
#include "version/version.h"

#if UINTPTR_MAX > 0xFFFFFFFFu
const char16_t kReportHeader[] = u"PADSCOPE x64 - " PADSCOPE_VERSION_TEXT;
#else
const char16_t kReportHeader[] = u"PADSCOPE x86 - " PADSCOPE_VERSION_TEXT;
#endif
const char16_t kCopyrightNotice[] = u"Copyright (C) 2026 The PADSCOPE developers. Free to use and share.";

namespace {

using namespace wintab;

constexpr uint32_t kSystemPathUnits = 261;  // 260 for the path and its NUL, one spare
constexpr uint32_t kLibraryPathUnits = kQueryBufferBytes / sizeof(char16_t);

// Pointers print as "0x%08x" in the 32-bit build and with all sixteen digits
// in the 64-bit build, where eight would drop the upper half.
void AppendAddress(DialogState& state, const void* address) {
  const uint64_t value = reinterpret_cast<uintptr_t>(address);
  if constexpr (sizeof(void*) > 4) {
    Append(state, u"0x%08x%08x", static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value));
  } else {
    Append(state, u"0x%08x", static_cast<uint32_t>(value));
  }
}

void AppendFoundValue(void* context, size_t, const char16_t* value) {
  Append(*static_cast<DialogState*>(context), u"%s", value);
}

// The OS version row: the product version of the system's core library.
void ReportSystemVersion(DialogState& state) {
  Label(state, u"OS Version");
  char16_t path[kSystemPathUnits] = {};
  const uint32_t length = platform::SystemLibraryFileName(path, kSystemPathUnits - 1);
  if (length >= 1 && length <= kSystemPathUnits - 2) {
    static const char16_t* const keys[] = {u"ProductVersion"};
    platform::ReadVersionStrings(path, keys, 1, &AppendFoundValue, &state);
  }
  NewLine(state);
}

// The library's version keys, in row order; each row is labelled with its key.
const char16_t* const kLibraryVersionKeys[] = {u"FileVersion", u"CompanyName"};

// A row per key found.
void AppendLibraryVersionRow(void* context, size_t keyIndex, const char16_t* value) {
  auto& state = *static_cast<DialogState*>(context);
  Label(state, kLibraryVersionKeys[keyIndex]);
  Append(state, u"%s", value);
  if (LibraryIdentity* logged = LoggedLibrary(state)) {
    CopyLoggedText(keyIndex == 0 ? logged->fileVersion : logged->companyName, value);
  }
}

void ReportLibraryIdentity(DialogState& state, platform::LibraryHandle library) {
  AppendAddress(state, library);
  EndLoggedRow(state);
  Label(state, u"GetModuleFileNameW()");
  // The path goes into queryBuffer, as UTF-16; no query reads it afterwards
  // without clearing the buffer first.
  auto* path = reinterpret_cast<char16_t*>(state.queryBuffer);
  if (platform::LibraryFileName(library, path, kLibraryPathUnits) == 0) {
    Append(state, u"failed GLE=%u", platform::LastErrorCode());
  } else {
    const char16_t* quoted = path;
    Append(state, u"\"%s\"", quoted);
    if (LibraryIdentity* logged = LoggedLibrary(state)) CopyLoggedText(logged->path, path);
    platform::ReadVersionStrings(path, kLibraryVersionKeys, std::size(kLibraryVersionKeys), &AppendLibraryVersionRow,
                                 &state);
  }
  NewLine(state);
}

void ReportEntryPoints(DialogState& state, platform::LibraryHandle library) {
  Label(state, u"WTInfoW()");
  state.infoEntry = reinterpret_cast<WTInfoWEntry>(platform::FindEntryPoint(library, kInfoEntryName));
  AppendAddress(state, reinterpret_cast<const void*>(state.infoEntry));
  LibraryIdentity* logged = LoggedLibrary(state);
  if (logged != nullptr) {
    logged->entryPointsLookedUp = true;
    logged->entryPointFound[0] = state.infoEntry != nullptr;
  }
  static const struct {
    const char16_t* label;
    const char* exportName;
  } kOthers[] = {
      {u"WTOpenW()", "WTOpenW"},
      {u"WTClose()", "WTClose"},
      {u"WTEnable()", "WTEnable"},
      {u"WTPacketsGet()", "WTPacketsGet"},
  };
  size_t found = 1;
  for (const auto& entry : kOthers) {
    Label(state, entry.label);
    const void* address = platform::FindEntryPoint(library, entry.exportName);
    AppendAddress(state, address);
    if (logged != nullptr) logged->entryPointFound[found] = address != nullptr;
    ++found;
  }
  NewLine(state);
}

// Interface rows; returns the device and cursor counts they report.
struct InterfaceCounts {
  uint32_t devices;
  uint32_t cursors;
};

// A count is read whenever any bytes came back, also from an answer of the
// wrong size (whose row shows the invalid-length message).
uint32_t AnsweredCount(const DialogState& state) { return state.lastQuerySize != 0 ? AnswerUint32(state) : 0; }

// One interface row; returns the count its answer holds.
uint32_t ReportInterfaceRow(DialogState& state, const char16_t* label, uint32_t index,
                            void (*render)(DialogState& state)) {
  Label(state, label);
  QueryInfo(state, WTI_INTERFACE, index);
  render(state);
  EndLoggedRow(state);
  return AnsweredCount(state);
}

InterfaceCounts ReportInterface(DialogState& state) {
  InterfaceCounts counts{};
  NewLine(state);
  Append(state, u"WTI_INTERFACE");
  ReportInterfaceRow(state, u"IFC_WINTABID", IFC_WINTABID, AppendQuotedText);
  ReportInterfaceRow(state, u"IFC_SPECVERSION", IFC_SPECVERSION, AppendVersion);
  ReportInterfaceRow(state, u"IFC_IMPLVERSION", IFC_IMPLVERSION, AppendVersion);
  counts.devices = ReportInterfaceRow(state, u"IFC_NDEVICES", IFC_NDEVICES, AppendUint);
  counts.cursors = ReportInterfaceRow(state, u"IFC_NCURSORS", IFC_NCURSORS, AppendUint);
  ReportInterfaceRow(state, u"IFC_NCONTEXTS", IFC_NCONTEXTS, AppendUint);
  return counts;
}

// Both default contexts; returns the device that the system context names.
uint32_t ReportDefaultContexts(DialogState& state) {
  NewLine(state);
  NewLine(state);
  Append(state, u"WTI_DEFCONTEXT");
  Label(state, u"(0)");
  QueryInfo(state, WTI_DEFCONTEXT, 0);
  AppendContext(state, nullptr);
  EndLoggedRow(state);
  NewLine(state);
  Append(state, u"WTI_DEFSYSCTX");
  Label(state, u"(0)");
  QueryInfo(state, WTI_DEFSYSCTX, 0);
  uint32_t contextDevice = 0;
  AppendContext(state, &contextDevice);
  EndLoggedRow(state);
  NewLine(state);
  return contextDevice;
}

// Once the text is full nothing more of a section could be shown, so the
// loops stop there instead of asking a library that reports huge counts
// for billions of rows nobody will see.
void ReportDevices(DialogState& state, uint32_t deviceCount, uint32_t contextDevice) {
  if (deviceCount == 0 && state.overrideCounts) {
    NewLine(state);
    Append(state, u"*** OVERRIDING IFC_NDEVICES ***");
    deviceCount = 1;
  }
  bool contextDeviceSeen = false;
  for (uint32_t n = 0; n < deviceCount && !ReportIsFull(state); ++n) {
    ReportDevice(state, n);
    if (n == contextDevice) contextDeviceSeen = true;
  }
  if (state.showContextDevice && !contextDeviceSeen && !ReportIsFull(state)) {
    NewLine(state);
    Append(state, u"*** OVERRIDE for WTI_DEFSYSCTX::lcDevice ***");
    ReportDevice(state, contextDevice);
  }
  NewLine(state);
}

void ReportCursors(DialogState& state, uint32_t cursorCount) {
  if (cursorCount == 0 && state.overrideCounts) {
    NewLine(state);
    Append(state, u"*** OVERRIDING IFC_NCURSORS ***");
    cursorCount = 1;
  }
  for (uint32_t n = 0; n < cursorCount && !ReportIsFull(state); ++n) ReportCursor(state, n);
}

// Everything between the entry-point rows and the release; returns how the
// run ends once the library is released.
RunEnding ReportInterfaceAndSections(DialogState& state) {
  if (state.infoEntry == nullptr) {
    Append(state, u"Error: WTInfoW() not found");
    NewLine(state);
    return RunEnding::noInfoEntry;
  }
  Label(state, u"WTInfoW(0,0,0)");
  const uint32_t faultsBefore = state.outcome.containedFaults;
  ProbeInterface(state);
  EndLoggedRow(state);
  NewLine(state);
  if (state.lastQuerySize == 0 && !state.ignoreNullQuery) {
    return state.outcome.containedFaults != faultsBefore ? RunEnding::probeFaulted : RunEnding::probeZero;
  }

  const InterfaceCounts counts = ReportInterface(state);
  const uint32_t contextDevice = ReportDefaultContexts(state);
  ReportDevices(state, counts.devices, contextDevice);
  ReportCursors(state, counts.cursors);
  return RunEnding::complete;
}

void ReleaseLibrary(DialogState& state, platform::LibraryHandle library) {
  NewLine(state);
  Label(state, u"FreeLibrary()");
  LibraryCall call{library, false};
  AnswerLogEntry* logged = BeginLoggedStep(state, LoggedStep::release, 0, 0);
  if (CallWhenSafe(state, &CallReleaseLibrary, &call, logged != nullptr ? &logged->real : nullptr)) {
    if (logged != nullptr) logged->real.count = call.released ? 1 : 0;
    Append(state, u"%s", call.released ? u"succeeded" : u"failed");
  }
  EndLoggedRow(state);
}

void RunReportThunk(void* argument) { RunReport(*static_cast<DialogState*>(argument)); }

}  // namespace

void RunReportUnderGuard(DialogState& state) {
  const platform::GuardOutcome guard = platform::RunGuarded(&RunReportThunk, &state);
  if (!guard.faulted) return;
  state.outcome.ending = RunEnding::hardException;
  state.outcome.hardExceptionCode = guard.code;
  AppendEnding(state, kHardExceptionEnding);
}

void RunReport(DialogState& state) {
  Append(state, u"%s", kReportHeader);
  NewLine(state);
  Append(state, u"%s", kCopyrightNotice);
  NewLine(state);
  NewLine(state);

  ReportSystemVersion(state);

  Label(state, u"LoadLibrary(\"WINTAB32.DLL\")");
  LibraryCall load{nullptr, false};
  AnswerLogEntry* logged = BeginLoggedStep(state, LoggedStep::load, 0, 0);
  CallWhenSafe(state, &CallLoadLibrary, &load, logged != nullptr ? &logged->real : nullptr);
  if (logged != nullptr) logged->real.count = load.library != nullptr ? 1 : 0;
  if (LibraryIdentity* library = LoggedLibrary(state)) library->loaded = load.library != nullptr;
  if (load.library == nullptr) {
    EndLoggedRow(state);
    NewLine(state);
    const uint32_t error = platform::LastErrorCode();
    if (LibraryIdentity* library = LoggedLibrary(state)) library->loadError = error;
    Append(state, u"Error: library WINTAB32.DLL not found or failed to load (GetLastError()=%u)", error);
    NewLine(state);
    state.outcome.ending = RunEnding::noLibrary;
    return;
  }

  ReportLibraryIdentity(state, load.library);
  ReportEntryPoints(state, load.library);
  const RunEnding ending = ReportInterfaceAndSections(state);
  ReleaseLibrary(state, load.library);
  // Only now: a release that faults without Safe Mode ends the run otherwise.
  state.outcome.ending = ending;
}
