// --json with --pen: the pen session as the document's "pen" member,
// gathered from its events on the session's worker.
#pragma once

#include <string>

#include "pen/pen_session.h"

struct PenJson {
  std::string calls;    // the items of "calls": every event but the packets and the summary
  std::string packets;  // the items of "packets": every packet read, decoded
  std::string summary = "null";
  const char* verdict = nullptr;
};

// A PenEventSink; context: the PenJson.
void WritePenJsonEvent(void* context, const PenSession& session, const PenEvent& event);

// "  \"pen\": {...},\n": the calls, the packets, the summary, the verdict,
// and how the check ended (hung: a call never returned).
std::string PenMember(const PenJson& pen, int exitCode, bool hung);
