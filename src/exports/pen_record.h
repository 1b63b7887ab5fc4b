// What a pen session did, kept for the recording: the answers it read that
// the report may not have asked, what each pen call answered or how it
// failed, and every packet in order, as the recording's directives.
// Filled on the session's thread, one event at a time, and read once the
// session is over (or stuck: then only what it told before).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pen/pen_session.h"

struct PenRecordedAnswer {
  uint32_t category;
  uint32_t index;
  std::vector<uint8_t> bytes;
};

struct PenRecord {
  bool ran = false;
  std::vector<PenRecordedAnswer> answers;
  std::string lines;  // "call", "handles" and "packet" directives
  uint64_t readingStarted = 0;  // MillisecondsNow() at the start of the reading
};

// Keeps one event of `session`.
void RecordPenEvent(PenRecord& record, const PenSession& session, const PenEvent& event);

// The session never came back from `call` (its row label, or null).
void RecordPenHang(PenRecord& record, const char16_t* call);
