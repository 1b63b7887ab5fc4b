// Every call the pen check makes into WINTAB32.DLL. In Safe Mode each runs
// under the fault guard, and a contained fault writes the call's row with
// "<exception>"; without it a fault travels on to the worker's outermost
// guard. While a call runs, its row label is what the watchdog names when
// the call never returns.
#pragma once

#include <atomic>
#include <cstdint>

#include "pen_output.h"
#include "platform/platform.h"
#include "wintab/wintab_binding.h"

struct PenLibrary {
  platform::LibraryHandle library = nullptr;
  wintab::WTInfoWEntry info = nullptr;
  wintab::WTOpenWEntry open = nullptr;
  wintab::WTEnableEntry enable = nullptr;
  wintab::WTPacketsGetEntry packetsGet = nullptr;
  wintab::WTCloseEntry close = nullptr;
};

struct PenCaller {
  PenOutput* output = nullptr;
  bool safeMode = true;
  bool noNullBuffer = false;
  std::atomic<const char16_t*> currentCall{nullptr};  // the label of the call in progress
  bool faulted = false;                               // a fault was contained
};

// Loads the library (row on failure) and finds its entry points; false when
// it cannot be loaded or a call faulted.
bool LoadPenLibrary(PenCaller& caller, PenLibrary& library);
void ReleasePenLibrary(PenCaller& caller, PenLibrary& library);

// WTInfoW(category, index): the size probe (unless noNullBuffer), then the
// real call into `answer`, which holds wintab::kMaxAnswerBytes and is
// cleared first. Returns the answer's byte count; 0 when there is none, it
// would not fit, or a fault was contained.
uint32_t AskInfo(PenCaller& caller, const char16_t* label, const PenLibrary& library, uint32_t category,
                 uint32_t index, uint8_t* answer);

// False when a fault was contained; the results are left in the out values.
bool OpenPenContext(PenCaller& caller, const PenLibrary& library, void* window, void* logContext, void*& context);
bool EnablePenContext(PenCaller& caller, const PenLibrary& library, void* context, int& result);
bool GetPenPackets(PenCaller& caller, const PenLibrary& library, void* context, int maximum, void* packets,
                   int& result);
bool ClosePenContext(PenCaller& caller, const PenLibrary& library, void* context, int& result);
