#include "report/answer_log.h"

#include <cstring>

#include "report/answer_logging.h"
#include "report/dialog_state.h"
#include "wintab/wintab_binding.h"

const char* const kLoggedEntryPointNames[kLoggedEntryPoints] = {"WTInfoW", "WTOpenW", "WTClose", "WTEnable",
                                                                "WTPacketsGet"};

namespace {

uint32_t TextPosition(const DialogState& state) { return static_cast<uint32_t>(ReportLength(state)); }

// How much of the buffer the answer occupies: its count (as far as the
// buffer holds), or further when the library wrote past it. The buffer is
// cleared before each query, so the last nonzero byte ends what was written.
uint32_t ObservedLength(const uint8_t* buffer, uint32_t size, uint32_t count) {
  uint32_t end = size;
  while (end >= 8) {
    uint64_t word;
    std::memcpy(&word, buffer + end - 8, sizeof(word));
    if (word != 0) break;
    end -= 8;
  }
  while (end > 0 && buffer[end - 1] == 0) --end;
  const uint32_t counted = count < size ? count : size;
  return end > counted ? end : counted;
}

}  // namespace

void AttachAnswerLogStorage(AnswerLog& log, AnswerLogEntry* entries, uint32_t entryCapacity, uint8_t* bytes,
                            uint32_t byteCapacity) {
  log.entries = entries;
  log.entryCapacity = entries != nullptr ? entryCapacity : 0;
  log.bytes = bytes;
  log.byteCapacity = bytes != nullptr ? byteCapacity : 0;
  ResetAnswerLog(log);
}

void ResetAnswerLog(AnswerLog& log) {
  log.entryCount = 0;
  log.entriesLost = 0;
  log.bytesUsed = 0;
  log.library = LibraryIdentity{};
  log.pendingRowLabel = nullptr;
  log.pendingRowTextBegin = 0;
}

const uint8_t* AnswerBytes(const AnswerLog& log, const AnswerLogEntry& entry) {
  if (entry.bytesLost || entry.bytesLength == 0) return nullptr;
  return log.bytes + entry.bytesOffset;
}

const char16_t* SectionOf(uint32_t category, uint32_t* number) {
  using namespace wintab;
  *number = 0;
  if (category == WTI_INTERFACE) return u"WTI_INTERFACE";
  if (category == WTI_DEFCONTEXT) return u"WTI_DEFCONTEXT";
  if (category == WTI_DEFSYSCTX) return u"WTI_DEFSYSCTX";
  if (category >= WTI_CURSORS) {
    *number = category - WTI_CURSORS;
    return u"WTI_CURSOR+";
  }
  if (category >= WTI_DEVICES) {
    *number = category - WTI_DEVICES;
    return u"WTI_DEVICE+";
  }
  return nullptr;
}

bool AnswerLogIsComplete(const AnswerLog& log) {
  if (log.entriesLost != 0) return false;
  for (uint32_t i = 0; i < log.entryCount; ++i) {
    if (log.entries[i].bytesLost) return false;
  }
  return true;
}

void NoteRowStart(DialogState& state, const char16_t* label) {
  AnswerLog* log = state.answerLog;
  if (log == nullptr) return;
  log->pendingRowLabel = label;
  log->pendingRowTextBegin = TextPosition(state);
}

AnswerLogEntry* BeginLoggedStep(DialogState& state, LoggedStep step, uint32_t category, uint32_t index) {
  AnswerLog* log = state.answerLog;
  if (log == nullptr) return nullptr;
  if (log->entryCount >= log->entryCapacity) {
    ++log->entriesLost;
    return nullptr;
  }
  AnswerLogEntry& entry = log->entries[log->entryCount++];
  entry = AnswerLogEntry{};
  entry.step = step;
  entry.category = category;
  entry.index = index;
  entry.rowLabel = log->pendingRowLabel;
  const uint32_t now = TextPosition(state);
  entry.textBegin = log->pendingRowLabel != nullptr ? log->pendingRowTextBegin : now;
  entry.textEnd = now;
  log->pendingRowLabel = nullptr;
  return &entry;
}

void EndLoggedRow(DialogState& state) {
  AnswerLog* log = state.answerLog;
  if (log == nullptr || log->entryCount == 0) return;
  log->entries[log->entryCount - 1].textEnd = TextPosition(state);
}

void LogAnswerBytes(DialogState& state, AnswerLogEntry* entry, uint32_t count) {
  AnswerLog* log = state.answerLog;
  if (log == nullptr || entry == nullptr) return;
  const uint32_t length = ObservedLength(state.queryBuffer, sizeof(state.queryBuffer), count);
  if (length > log->byteCapacity - log->bytesUsed) {
    entry->bytesLost = true;
    return;
  }
  std::memcpy(log->bytes + log->bytesUsed, state.queryBuffer, length);
  entry->bytesOffset = log->bytesUsed;
  entry->bytesLength = length;
  log->bytesUsed += length;
}

void NoteSizeRefused(DialogState& state, uint32_t expected) {
  AnswerLog* log = state.answerLog;
  if (log == nullptr || log->entryCount == 0) return;
  AnswerLogEntry& entry = log->entries[log->entryCount - 1];
  entry.sizeRefused = true;
  entry.expectedSize = expected;
}

LibraryIdentity* LoggedLibrary(DialogState& state) {
  return state.answerLog != nullptr ? &state.answerLog->library : nullptr;
}

void CopyLoggedText(LoggedText& into, const char16_t* text) {
  into.found = true;
  size_t n = 0;
  while (n + 1 < kLoggedTextUnits && text[n] != 0) {
    into.text[n] = text[n];
    ++n;
  }
  into.text[n] = 0;
}
