// Every call the pen session makes into WINTAB32.DLL. In Safe Mode each
// runs under the fault guard, and a contained fault is told to the caller's
// fault handler with the call's row label; without it a fault travels on to
// the worker's outermost guard. While a call runs, its row label is what
// the watchdog names when the call never returns.
#pragma once

#include <atomic>
#include <cstdint>

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
  std::atomic<int32_t>* progress = nullptr;  // counted up at every call that returned
  // Told of every contained fault, on the calling thread.
  void (*faulted)(void* context, const char16_t* label) = nullptr;
  void* faultContext = nullptr;
  bool safeMode = true;
  bool noNullBuffer = false;
  std::atomic<const char16_t*> currentCall{nullptr};  // the label of the call in progress
  bool anyFaulted = false;                            // a fault was contained
};

// Loads the library and finds its entry points; false when it cannot be
// loaded (`loadError` is then the system's code) or the load faulted
// (`loadError` is then 0).
bool LoadPenLibrary(PenCaller& caller, PenLibrary& library, uint32_t& loadError);
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
