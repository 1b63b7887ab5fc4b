#include "exports/pen_record.h"

#include <cstring>

#include "exports/record_lines.h"

namespace {

using namespace wintab;

// The recording's name of the entry point a row label names ("WTOpenW()").
const char* EntryOf(const char16_t* label) {
  static const char* const kEntries[] = {"WTOpenW", "WTEnable", "WTPacketsGet", "WTClose"};
  for (const char* entry : kEntries) {
    size_t k = 0;
    while (entry[k] != 0 && label[k] == static_cast<char16_t>(entry[k])) ++k;
    if (entry[k] == 0 && label[k] == u'(') return entry;
  }
  return nullptr;
}

void KeepAnswer(PenRecord& record, uint32_t category, uint32_t index, const void* bytes, size_t length) {
  const auto* first = static_cast<const uint8_t*>(bytes);
  record.answers.push_back({category, index, std::vector<uint8_t>(first, first + length)});
}

// Every field the packets carry, named, so that none takes the script's
// default; the time of packets without one is when they came.
void AppendPacketLine(std::string& out, const PenRecord& record, const PenSession& session,
                      const DecodedPacket& packet) {
  const uint32_t fields = session.layout.fields;
  out += "packet";
  if ((fields & PK_CONTEXT) != 0 && packet.context != reinterpret_cast<uintptr_t>(session.context)) {
    AppendField(out, "context", static_cast<int64_t>(packet.context));
  }
  const uint32_t came = static_cast<uint32_t>(MillisecondsNow() - record.readingStarted);
  const struct {
    const char* name;
    int64_t value;
  } values[] = {{"status", packet.status},
                 {"time", (fields & PK_TIME) != 0 ? packet.time : came},
                 {"changed", packet.changed},
                 {"serial", packet.serial},
                 {"cursor", packet.cursor},
                 {"buttons", packet.buttons},
                 {"x", packet.x},
                 {"y", packet.y},
                 {"z", packet.z},
                 {"pressure", packet.normalPressure},
                 {"tangent", packet.tangentPressure},
                 {"azimuth", packet.orientation[0]},
                 {"altitude", packet.orientation[1]},
                 {"twist", packet.orientation[2]},
                 {"pitch", packet.rotation[0]},
                 {"roll", packet.rotation[1]},
                 {"yaw", packet.rotation[2]}};
  for (const auto& field : values) AppendField(out, field.name, field.value);
  out += '\n';
}

// A pen call's misbehaviour: "call <entry point> <action>".
void AppendCall(std::string& out, const char* entry, const char* action) {
  out += "call ";
  out += entry;
  out += ' ';
  out += action;
  out += '\n';
}

// The answers the summary rests on: the device's axes and rate, the names
// of the cursors seen.
void KeepSummaryAnswers(PenRecord& record, const PenSession& session) {
  const uint32_t device = WTI_DEVICES + session.logContext->lcDevice;
  static const uint32_t kAxisIndex[3] = {DVC_X, DVC_Y, DVC_NPRESSURE};
  for (int k = 0; k < 3; ++k) {
    if (session.axisKnown[k]) KeepAnswer(record, device, kAxisIndex[k], &session.axes[k], sizeof(AXIS));
  }
  if (session.packetRateKnown) KeepAnswer(record, device, DVC_PKTRATE, &session.packetRate, sizeof(uint32_t));
  for (uint32_t k = 0; k < session.tally.cursorCount; ++k) {
    const char16_t* name = session.cursorNames[k];
    size_t units = 0;
    while (name[units] != 0) ++units;
    if (units > 0) KeepAnswer(record, WTI_CURSORS + session.tally.cursors[k], CSR_NAME, name, 2 * (units + 1));
  }
}

}  // namespace

void RecordPenEvent(PenRecord& record, const PenSession& session, const PenEvent& event) {
  record.ran = true;
  std::string& lines = record.lines;
  switch (event.kind) {
    case PenEventKind::contextRead:
      KeepAnswer(record, WTI_DEFCONTEXT, 0, session.logContext, sizeof(LOGCONTEXTW));
      break;
    case PenEventKind::callFaulted:
      // The guard's code is not told with the event: any fault replays as a fault.
      if (event.call != nullptr && EntryOf(event.call) != nullptr) AppendCall(lines, EntryOf(event.call), "segv");
      break;
    case PenEventKind::contextOpened:
      if (session.context == nullptr) {
        AppendCall(lines, "WTOpenW", "fail");
      } else if (reinterpret_cast<uintptr_t>(session.context) != 1) {
        lines += "handles ";
        AppendDecimal(lines, static_cast<int64_t>(reinterpret_cast<uintptr_t>(session.context)));
        lines += '\n';
      }
      break;
    case PenEventKind::enabled:
      if (event.answer == 0) AppendCall(lines, "WTEnable", "fail");
      break;
    case PenEventKind::readingStarted: record.readingStarted = MillisecondsNow(); break;
    case PenEventKind::packet: AppendPacketLine(lines, record, session, *event.packet); break;
    case PenEventKind::brokenCount:
      lines += "call WTPacketsGet count=";
      AppendDecimal(lines, event.answer);
      lines += '\n';
      break;
    case PenEventKind::closed:
      if (event.answer == 0) AppendCall(lines, "WTClose", "fail");
      break;
    case PenEventKind::summary: KeepSummaryAnswers(record, session); break;
    default: break;
  }
}

void RecordPenHang(PenRecord& record, const char16_t* call) {
  const char* entry = call != nullptr ? EntryOf(call) : nullptr;
  if (entry != nullptr) AppendCall(record.lines, entry, "hang");
}
