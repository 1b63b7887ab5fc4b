#include "exports/json_pen.h"

#include "exports/json_text.h"
#include "wintab/wintab_binding.h"

namespace {

using namespace wintab;

// In the order of PenEventKind, PenVerdict and PenReadingEnd.
const char* const kEventNames[] = {"started",     "callFaulted",    "libraryNotLoaded", "entryPointsMissing",
                                   "noDefaultContext", "contextRead", "unknownFieldsDropped", "outOfMemory",
                                   "contextOpened", "enabled",       "readingStarted",   "proximity",
                                   "packet",      "brokenCount",    "readingEnded",     "closed",
                                   "summary",     "hardException"};
const char* const kVerdictNames[] = {"none",           "libraryFaulted", "libraryBrokeCount", "libraryNotEnabled",
                                     "hiddenWindow",   "noPackets",      "noPressureField",   "onlyHovered",
                                     "pressureZero",   "pressureFixed",  "tipNotReleased",    "lowPressureRange"};
const char* const kReadingEnds[] = {"timeUp", "stopped", "fault", "brokenAnswer", "windowClosed"};

std::string Number(int64_t value) { return std::to_string(value); }

// ", \"name\": value"
void Add(std::string& out, const char* name, const std::string& value) {
  out += ", \"";
  out += name;
  out += "\": ";
  out += value;
}

// [low, high] of a field the packets carry, null otherwise.
std::string Range(const PenSession& session, uint32_t field, int64_t low, int64_t high) {
  return PenPacketsCarry(session, field) ? "[" + Number(low) + ", " + Number(high) + "]" : std::string("null");
}

std::string PacketJson(const PenSession& session, const DecodedPacket& packet) {
  const struct {
    uint32_t field;
    const char* name;
    int64_t value;
  } fields[] = {
      {PK_STATUS, "status", packet.status},
      {PK_TIME, "time", packet.time},
      {PK_CHANGED, "changed", packet.changed},
      {PK_SERIAL_NUMBER, "serial", packet.serial},
      {PK_CURSOR, "cursor", packet.cursor},
      {PK_BUTTONS, "buttons", packet.buttons},
      {PK_X, "x", packet.x},
      {PK_Y, "y", packet.y},
      {PK_Z, "z", packet.z},
      {PK_NORMAL_PRESSURE, "normalPressure", packet.normalPressure},
      {PK_TANGENT_PRESSURE, "tangentPressure", packet.tangentPressure},
  };
  std::string out = "{\"context\": " + Number(static_cast<int64_t>(packet.context));
  for (const auto& field : fields) {
    if (PenPacketsCarry(session, field.field)) Add(out, field.name, Number(field.value));
  }
  const struct {
    uint32_t field;
    const char* name;
    const int32_t* values;
  } triples[] = {{PK_ORIENTATION, "orientation", packet.orientation}, {PK_ROTATION, "rotation", packet.rotation}};
  for (const auto& triple : triples) {
    if (!PenPacketsCarry(session, triple.field)) continue;
    Add(out, triple.name,
        "[" + Number(triple.values[0]) + ", " + Number(triple.values[1]) + ", " + Number(triple.values[2]) + "]");
  }
  return out + "}";
}

std::string SummaryJson(const PenSession& session) {
  const PenTally& tally = session.tally;
  const uint32_t fields = session.layout.fields;
  const ContactTally& contact = ContactOf(tally, fields);
  std::string out = "{\"packets\": " + Number(tally.packets);
  Add(out, "x", Range(session, PK_X, tally.xMin, tally.xMax));
  Add(out, "y", Range(session, PK_Y, tally.yMin, tally.yMax));
  Add(out, "pressure", Range(session, PK_NORMAL_PRESSURE, tally.pressureMin, tally.pressureMax));
  Add(out, "azimuth", Range(session, PK_ORIENTATION, tally.azimuthMin, tally.azimuthMax));
  Add(out, "altitude", Range(session, PK_ORIENTATION, tally.altitudeMin, tally.altitudeMax));
  Add(out, "buttonsSeen", PenPacketsCarry(session, PK_BUTTONS) ? JsonHex32(tally.buttonsSeen) : "null");
  Add(out, "contactBy", ContactByTipButton(tally, fields) ? "\"tipButton\"" : "\"pressure\"");
  Add(out, "contactPackets", Number(contact.contactPackets));
  Add(out, "hoverPackets", Number(contact.hoverPackets));
  Add(out, "pressureInContact", Range(session, PK_NORMAL_PRESSURE, contact.pressureMin, contact.pressureMax));
  Add(out, "reportRate", tally.gapCount != 0 ? Number(ReportRate(tally)) : "null");
  Add(out, "medianGap", tally.gapCount != 0 ? Number(MedianGap(tally)) : "null");
  Add(out, "largestGap", tally.gapCount != 0 ? Number(tally.largestGap) : "null");
  std::string cursors = "null";
  if (PenPacketsCarry(session, PK_CURSOR)) {
    cursors = "[";
    for (uint32_t k = 0; k < tally.cursorCount; ++k) {
      cursors += k == 0 ? "{\"cursor\": " : ", {\"cursor\": ";
      cursors += Number(tally.cursors[k]) + ", \"name\": " + JsonString(session.cursorNames[k]) +
                 ", \"packets\": " + Number(tally.cursorPackets[k]) + "}";
    }
    cursors += "]";
  }
  Add(out, "cursors", cursors);
  Add(out, "otherCursorPackets", Number(tally.otherCursorPackets));
  return out + "}";
}

}  // namespace

void WritePenJsonEvent(void* context, const PenSession& session, const PenEvent& event) {
  PenJson& pen = *static_cast<PenJson*>(context);
  if (event.kind == PenEventKind::packet) {
    pen.packets += pen.packets.empty() ? "\n      " : ",\n      ";
    pen.packets += PacketJson(session, *event.packet);
    return;
  }
  if (event.kind == PenEventKind::summary) {
    pen.summary = SummaryJson(session);
    pen.verdict = kVerdictNames[static_cast<int>(session.verdict)];
    return;
  }
  std::string& out = pen.calls;
  out += out.empty() ? "\n      {\"event\": \"" : ",\n      {\"event\": \"";
  out += kEventNames[static_cast<int>(event.kind)];
  out += "\"";
  if (event.call != nullptr) Add(out, "call", JsonString(event.call));
  switch (event.kind) {
    case PenEventKind::libraryNotLoaded:
    case PenEventKind::noDefaultContext: Add(out, "value", Number(event.value)); break;
    case PenEventKind::entryPointsMissing: {
      std::string names = "[";
      for (size_t k = 0; k < kPenEntryPoints; ++k) {
        if ((event.value & (1u << k)) == 0) continue;
        if (names.size() > 1) names += ", ";
        names += JsonString(kPenEntryPointNames[k]);
      }
      Add(out, "missing", names + "]");
      break;
    }
    case PenEventKind::contextRead:
      Add(out, "value", Number(event.value));
      Add(out, "lcDevice", Number(session.logContext->lcDevice));
      Add(out, "lcPktData", JsonHex32(session.logContext->lcPktData));
      break;
    case PenEventKind::unknownFieldsDropped: Add(out, "value", JsonHex32(event.value)); break;
    case PenEventKind::contextOpened: Add(out, "opened", session.context != nullptr ? "true" : "false"); break;
    case PenEventKind::enabled:
    case PenEventKind::brokenCount:
    case PenEventKind::closed: Add(out, "answer", Number(event.answer)); break;
    case PenEventKind::proximity:
      Add(out, "entering", event.entering ? "true" : "false");
      Add(out, "cursor", event.cursorKnown ? Number(event.cursor) : "null");
      Add(out, "fromMessage", event.fromMessage ? "true" : "false");
      break;
    case PenEventKind::readingEnded:
      Add(out, "end", std::string("\"") + kReadingEnds[static_cast<int>(event.readingEnd)] + "\"");
      break;
    default: break;
  }
  out += "}";
}

std::string PenMember(const PenJson& pen, int exitCode, bool hung) {
  std::string out = "  \"pen\": {\"calls\": [" + pen.calls + (pen.calls.empty() ? "]" : "\n    ]");
  out += ",\n    \"packets\": [" + pen.packets + (pen.packets.empty() ? "]" : "\n    ]");
  out += ",\n    \"summary\": " + pen.summary;
  out += ",\n    \"verdict\": " + (pen.verdict != nullptr ? std::string("\"") + pen.verdict + "\"" : std::string("null"));
  out += std::string(",\n    \"hung\": ") + (hung ? "true" : "false");
  out += ",\n    \"exitCode\": " + std::to_string(exitCode) + "},\n";
  return out;
}
