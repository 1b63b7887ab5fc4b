#include "pen/pen_calls.h"

#include <cstring>

#include "report/library_calls.h"

namespace {

// The calls as plain data for the guard: nothing in them needs a destructor.
struct InfoCall {
  wintab::WTInfoWEntry entry;
  uint32_t category;
  uint32_t index;
  void* output;
  uint32_t result;
};
struct OpenCall {
  wintab::WTOpenWEntry entry;
  void* window;
  void* logContext;
  void* result;
};
struct ContextCall {  // WTEnable, WTPacketsGet and WTClose
  const PenLibrary* library;
  void* context;
  int number;  // WTEnable's flag, WTPacketsGet's maximum
  void* packets;
  int result;
};

void CallInfo(void* argument) {
  auto* call = static_cast<InfoCall*>(argument);
  call->result = call->entry(call->category, call->index, call->output);
}
void CallOpen(void* argument) {
  auto* call = static_cast<OpenCall*>(argument);
  call->result = call->entry(call->window, call->logContext, 1);
}
void CallEnable(void* argument) {
  auto* call = static_cast<ContextCall*>(argument);
  call->result = call->library->enable(call->context, call->number);
}
void CallPacketsGet(void* argument) {
  auto* call = static_cast<ContextCall*>(argument);
  call->result = call->library->packetsGet(call->context, call->number, call->packets);
}
void CallClose(void* argument) {
  auto* call = static_cast<ContextCall*>(argument);
  call->result = call->library->close(call->context);
}

bool CallAs(PenCaller& caller, const char16_t* label, void (*thunk)(void*), void* call) {
  caller.currentCall.store(label);
  bool contained = false;
  if (caller.safeMode) {
    contained = platform::RunGuarded(thunk, call).faulted;
  } else {
    thunk(call);
  }
  caller.currentCall.store(nullptr);
  caller.progress->fetch_add(1);
  if (!contained) return true;
  caller.anyFaulted = true;
  caller.faulted(caller.faultContext, label);
  return false;
}

template <class Entry>
Entry Find(platform::LibraryHandle library, const char* name) {
  return reinterpret_cast<Entry>(platform::FindEntryPoint(library, name));
}

}  // namespace

bool LoadPenLibrary(PenCaller& caller, PenLibrary& library, uint32_t& loadError) {
  loadError = 0;
  LibraryCall load{nullptr, false};
  if (!CallAs(caller, u"LoadLibrary(\"WINTAB32.DLL\")", &CallLoadLibrary, &load)) return false;
  if (load.library == nullptr) {
    loadError = platform::LastErrorCode();
    return false;
  }
  library.library = load.library;
  library.info = Find<wintab::WTInfoWEntry>(load.library, wintab::kInfoEntryName);
  library.open = Find<wintab::WTOpenWEntry>(load.library, "WTOpenW");
  library.enable = Find<wintab::WTEnableEntry>(load.library, "WTEnable");
  library.packetsGet = Find<wintab::WTPacketsGetEntry>(load.library, "WTPacketsGet");
  library.close = Find<wintab::WTCloseEntry>(load.library, "WTClose");
  return true;
}

void ReleasePenLibrary(PenCaller& caller, PenLibrary& library) {
  if (library.library == nullptr) return;
  LibraryCall release{library.library, false};
  library.library = nullptr;
  CallAs(caller, u"FreeLibrary()", &CallReleaseLibrary, &release);
}

uint32_t AskInfo(PenCaller& caller, const char16_t* label, const PenLibrary& library, uint32_t category,
                 uint32_t index, uint8_t* answer) {
  std::memset(answer, 0, wintab::kMaxAnswerBytes);
  InfoCall call{library.info, category, index, nullptr, 0};
  if (!caller.noNullBuffer) {
    if (!CallAs(caller, label, &CallInfo, &call)) return 0;
    if (call.result == 0 || call.result > wintab::kMaxAnswerBytes) return 0;
  }
  call.output = answer;
  if (!CallAs(caller, label, &CallInfo, &call)) return 0;
  return call.result <= wintab::kMaxAnswerBytes ? call.result : 0;
}

bool OpenPenContext(PenCaller& caller, const PenLibrary& library, void* window, void* logContext, void*& context) {
  OpenCall call{library.open, window, logContext, nullptr};
  const bool returned = CallAs(caller, u"WTOpenW()", &CallOpen, &call);
  context = call.result;
  return returned;
}

namespace {

bool CallOnContext(PenCaller& caller, const char16_t* label, void (*thunk)(void*), const PenLibrary& library,
                   void* context, int number, void* packets, int& result) {
  ContextCall call{&library, context, number, packets, 0};
  const bool returned = CallAs(caller, label, thunk, &call);
  result = call.result;
  return returned;
}

}  // namespace

bool EnablePenContext(PenCaller& caller, const PenLibrary& library, void* context, int& result) {
  return CallOnContext(caller, u"WTEnable(TRUE)", &CallEnable, library, context, 1, nullptr, result);
}

bool GetPenPackets(PenCaller& caller, const PenLibrary& library, void* context, int maximum, void* packets,
                   int& result) {
  return CallOnContext(caller, u"WTPacketsGet()", &CallPacketsGet, library, context, maximum, packets, result);
}

bool ClosePenContext(PenCaller& caller, const PenLibrary& library, void* context, int& result) {
  return CallOnContext(caller, u"WTClose()", &CallClose, library, context, 0, nullptr, result);
}
