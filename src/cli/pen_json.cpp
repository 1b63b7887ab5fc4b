#include "cli/pen_json.h"

#include "exports/json_text.h"
#include "exports/record_lines.h"
#include "wintab/wintab_binding.h"

// Written by appending to one string, value by value: the pen check can
// read thousands of packets, and the console program is kept small.
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

// ", \"name\": "
void Key(std::string& out, const char* name) {
  out += ", \"";
  out += name;
  out += "\": ";
}

void Word(std::string& out, const char* name, const char* word) {
  Key(out, name);
  out += '"';
  out += word;
  out += '"';
}

void Flag(std::string& out, const char* name, bool value) {
  Key(out, name);
  out += value ? "true" : "false";
}

void Field(std::string& out, const char* name, int64_t value) {
  Key(out, name);
  AppendDecimal(out, value);
}

// [a, b] or [a, b, c]
void Numbers(std::string& out, const int32_t* values, int count) {
  out += '[';
  for (int k = 0; k < count; ++k) {
    if (k != 0) out += ", ";
    AppendDecimal(out, values[k]);
  }
  out += ']';
}

// [low, high] of a field the packets carry, null otherwise.
void Range(std::string& out, const PenSession& session, const char* name, uint32_t field, int32_t low, int32_t high) {
  Key(out, name);
  const int32_t range[2] = {low, high};
  if (PenPacketsCarry(session, field)) {
    Numbers(out, range, 2);
  } else {
    out += "null";
  }
}

void Packet(std::string& out, const PenSession& session, const DecodedPacket& packet) {
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
  out += "{\"context\": ";
  AppendDecimal(out, static_cast<int64_t>(packet.context));
  for (const auto& field : fields) {
    if (PenPacketsCarry(session, field.field)) Field(out, field.name, field.value);
  }
  if (PenPacketsCarry(session, PK_ORIENTATION)) {
    Key(out, "orientation");
    Numbers(out, packet.orientation, 3);
  }
  if (PenPacketsCarry(session, PK_ROTATION)) {
    Key(out, "rotation");
    Numbers(out, packet.rotation, 3);
  }
  out += '}';
}

void Summary(std::string& out, const PenSession& session) {
  const PenTally& tally = session.tally;
  const uint32_t fields = session.layout.fields;
  const ContactTally& contact = ContactOf(tally, fields);
  out = "{\"packets\": ";
  AppendDecimal(out, tally.packets);
  Range(out, session, "x", PK_X, tally.xMin, tally.xMax);
  Range(out, session, "y", PK_Y, tally.yMin, tally.yMax);
  Range(out, session, "pressure", PK_NORMAL_PRESSURE, static_cast<int32_t>(tally.pressureMin),
        static_cast<int32_t>(tally.pressureMax));
  Range(out, session, "azimuth", PK_ORIENTATION, tally.azimuthMin, tally.azimuthMax);
  Range(out, session, "altitude", PK_ORIENTATION, tally.altitudeMin, tally.altitudeMax);
  Key(out, "buttonsSeen");
  out += PenPacketsCarry(session, PK_BUTTONS) ? JsonHex32(tally.buttonsSeen) : "null";
  Word(out, "contactBy", ContactByTipButton(tally, fields) ? "tipButton" : "pressure");
  Field(out, "contactPackets", contact.contactPackets);
  Field(out, "hoverPackets", contact.hoverPackets);
  Range(out, session, "pressureInContact", PK_NORMAL_PRESSURE, static_cast<int32_t>(contact.pressureMin),
        static_cast<int32_t>(contact.pressureMax));
  const int64_t gaps[3] = {ReportRate(tally), MedianGap(tally), tally.largestGap};
  const char* const gapNames[3] = {"reportRate", "medianGap", "largestGap"};
  for (int k = 0; k < 3; ++k) {
    Key(out, gapNames[k]);
    if (tally.gapCount != 0) {
      AppendDecimal(out, gaps[k]);
    } else {
      out += "null";
    }
  }
  Key(out, "cursors");
  if (PenPacketsCarry(session, PK_CURSOR)) {
    out += '[';
    for (uint32_t k = 0; k < tally.cursorCount; ++k) {
      out += k == 0 ? "{\"cursor\": " : ", {\"cursor\": ";
      AppendDecimal(out, tally.cursors[k]);
      Key(out, "name");
      out += JsonString(session.cursorNames[k]);
      Field(out, "packets", tally.cursorPackets[k]);
      out += '}';
    }
    out += ']';
  } else {
    out += "null";
  }
  Field(out, "otherCursorPackets", tally.otherCursorPackets);
  out += '}';
}

}  // namespace

void WritePenJsonEvent(void* context, const PenSession& session, const PenEvent& event) {
  PenJson& pen = *static_cast<PenJson*>(context);
  if (event.kind == PenEventKind::packet) {
    pen.packets += pen.packets.empty() ? "\n      " : ",\n      ";
    Packet(pen.packets, session, *event.packet);
    return;
  }
  if (event.kind == PenEventKind::summary) {
    Summary(pen.summary, session);
    pen.verdict = kVerdictNames[static_cast<int>(session.verdict)];
    return;
  }
  std::string& out = pen.calls;
  out += out.empty() ? "\n      {\"event\": \"" : ",\n      {\"event\": \"";
  out += kEventNames[static_cast<int>(event.kind)];
  out += '"';
  if (event.call != nullptr) {
    Key(out, "call");
    out += JsonString(event.call);
  }
  switch (event.kind) {
    case PenEventKind::libraryNotLoaded:
    case PenEventKind::noDefaultContext: Field(out, "value", event.value); break;
    case PenEventKind::entryPointsMissing:
      Key(out, "missing");
      out += '[';
      for (size_t k = 0; k < kPenEntryPoints; ++k) {
        if ((event.value & (1u << k)) == 0) continue;
        if (out.back() != '[') out += ", ";
        out += JsonString(kPenEntryPointNames[k]);
      }
      out += ']';
      break;
    case PenEventKind::contextRead:
      Field(out, "value", event.value);
      Field(out, "lcDevice", session.logContext->lcDevice);
      Key(out, "lcPktData");
      out += JsonHex32(session.logContext->lcPktData);
      break;
    case PenEventKind::unknownFieldsDropped:
      Key(out, "value");
      out += JsonHex32(event.value);
      break;
    case PenEventKind::contextOpened: Flag(out, "opened", session.context != nullptr); break;
    case PenEventKind::enabled:
    case PenEventKind::brokenCount:
    case PenEventKind::closed: Field(out, "answer", event.answer); break;
    case PenEventKind::proximity:
      Flag(out, "entering", event.entering);
      Key(out, "cursor");
      if (event.cursorKnown) {
        AppendDecimal(out, event.cursor);
      } else {
        out += "null";
      }
      Flag(out, "fromMessage", event.fromMessage);
      break;
    case PenEventKind::readingEnded: Word(out, "end", kReadingEnds[static_cast<int>(event.readingEnd)]); break;
    default: break;
  }
  out += '}';
}

std::string PenMember(const PenJson& pen, int exitCode, bool hung) {
  std::string out = "  \"pen\": {\"calls\": [";
  out += pen.calls;
  out += pen.calls.empty() ? "]" : "\n    ]";
  out += ",\n    \"packets\": [";
  out += pen.packets;
  out += pen.packets.empty() ? "]" : "\n    ]";
  out += ",\n    \"summary\": ";
  out += pen.summary;
  out += ",\n    \"verdict\": ";
  if (pen.verdict != nullptr) {
    out += '"';
    out += pen.verdict;
    out += '"';
  } else {
    out += "null";
  }
  out += ",\n    \"hung\": ";
  out += hung ? "true" : "false";
  out += ",\n    \"exitCode\": ";
  AppendDecimal(out, exitCode);
  out += "},\n";
  return out;
}
