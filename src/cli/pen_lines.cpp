#include "cli/pen_lines.h"

#include <cstring>
#include <initializer_list>

#include "cli/pen_text.h"
#include "diagnosis/load_error.h"
#include "pen/pen_verdict_text.h"
#include "report/dialog_state.h"

namespace {

using namespace wintab;

bool Has(const PenSession& session, uint32_t field) { return PenPacketsCarry(session, field); }

void WriteContext(PenOutput& output, const PenSession& session, uint32_t bytes) {
  const LOGCONTEXTW& context = *session.logContext;
  char16_t name[kContextNameUnits + 1] = {};
  std::memcpy(name, context.lcName, sizeof(context.lcName));
  const char16_t* shownName = name;
  WriteRow(output, u"WTI_DEFCONTEXT", u"{%3u} \"%s\", lcDevice %u, lcPktData 0x%08x, lcMsgBase 0x%08x", bytes,
           shownName, context.lcDevice, context.lcPktData, context.lcMsgBase);
}

void WriteMissingEntryPoints(PenOutput& output, uint32_t missing) {
  PenLine line(output);
  bool first = true;
  for (size_t k = 0; k < kPenEntryPoints; ++k) {
    if ((missing & (1u << k)) == 0) continue;
    if (first) {
      line.Add(u"Error: %s", kPenEntryPointNames[k]);
    } else {
      line.Add(u", %s", kPenEntryPointNames[k]);
    }
    first = false;
  }
  line.Add(u" not found: the pen check needs WTInfoW, WTOpenW, WTEnable, WTPacketsGet and WTClose").End();
}

void WriteColumnHeadings(PenOutput& output, const PenSession& session) {
  PenLine line(output);
  if (Has(session, PK_TIME)) line.Add(u"      time");
  if (Has(session, PK_CURSOR)) line.Add(u"  cursor");
  if (Has(session, PK_BUTTONS)) line.Add(u"     buttons");
  if (Has(session, PK_X)) line.Add(u"         x");
  if (Has(session, PK_Y)) line.Add(u"         y");
  if (Has(session, PK_NORMAL_PRESSURE)) line.Add(u"  pressure");
  if (Has(session, PK_ORIENTATION)) line.Add(u"  azimuth  altitude   twist");
  line.End();
}

void WriteProximity(PenOutput& output, const PenEvent& event) {
  PenLine line(output);
  line.Add(u"proximity: ");
  if (event.cursorKnown) {
    line.Add(u"cursor %u", event.cursor);
  } else {
    line.Add(u"the cursor");
  }
  if (event.entering) {
    line.Add(u" entered the context");
  } else {
    line.Add(u" left the context");
  }
  if (event.fromMessage) line.Add(u" (WT_PROXIMITY)");
  line.End();
}

void WritePacket(PenOutput& output, const PenSession& session, const DecodedPacket& packet) {
  PenLine line(output);
  if (Has(session, PK_TIME)) line.Add(u"%10u", packet.time);
  if (Has(session, PK_CURSOR)) line.Add(u"  %6u", packet.cursor);
  if (Has(session, PK_BUTTONS)) line.Add(u"  0x%08x", packet.buttons);
  if (Has(session, PK_X)) line.Add(u"  %8d", packet.x);
  if (Has(session, PK_Y)) line.Add(u"  %8d", packet.y);
  if (Has(session, PK_NORMAL_PRESSURE)) line.Add(u"  %8u", packet.normalPressure);
  if (Has(session, PK_ORIENTATION)) {
    line.Add(u"  %7d  %8d  %6d", packet.orientation[0], packet.orientation[1], packet.orientation[2]);
  }
  const uint64_t handle = reinterpret_cast<uintptr_t>(session.context);
  if (Has(session, PK_CONTEXT) && packet.context != handle) {
    line.Add(u"  <pkContext ");
    AddHandle(line, packet.context, kPenHandleBytes);
    line.Add(u">");
  }
  line.End();
}

void WriteReadingEnd(PenOutput& output, PenReadingEnd end) {
  static const char16_t* const kEnds[] = {u"the time was up", u"at Ctrl+C", u"at the fault above",
                                          u"at the answer above", u"when its window was closed or Escape pressed"};
  WriteLine(output, u"");
  WriteRow(output, u"Reading ended", u"%s", kEnds[static_cast<int>(end)]);
}

// ---- the summary -------------------------------------------------------------

void WriteRange(PenOutput& output, const PenSession& session, const char16_t* label, uint32_t field, size_t axis,
                int32_t low, int32_t high, bool unsignedValues) {
  PenLine line(output);
  line.Add(u"%-30s ", label);
  if (!Has(session, field)) {
    line.Add(u"not in the packets").End();
    return;
  }
  if (session.tally.packets == 0) {
    line.Add(u"none seen");
  } else if (unsignedValues) {
    line.Add(u"%u..%u seen", static_cast<uint32_t>(low), static_cast<uint32_t>(high));
  } else {
    line.Add(u"%d..%d seen", low, high);
  }
  if (!session.axisKnown[axis]) {
    line.Add(u" (the device gave no axis)").End();
    return;
  }
  const AXIS& range = session.axes[axis];
  line.Add(u" of %d..%d", range.axMin, range.axMax);
  // x and y: how much of the tablet the pen covered.
  if (!unsignedValues && session.tally.packets != 0 && range.axMax > range.axMin) {
    const int64_t share = (static_cast<int64_t>(high) - low) * 100 / (static_cast<int64_t>(range.axMax) - range.axMin);
    line.Add(u" (%u%% of the axis)", static_cast<uint32_t>(share > 100 ? 100 : share));
  }
  line.End();
}

void WriteContact(PenOutput& output, const PenSession& session) {
  const PenTally& tally = session.tally;
  if (tally.packets == 0) return;
  const ContactTally& contact = ContactOf(tally, session.layout.fields);
  WriteRow(output, u"Contact", u"%u packets in contact, %u hovering (%s)", contact.contactPackets,
           contact.hoverPackets,
           ContactByTipButton(tally, session.layout.fields) ? u"by the tip button" : u"by pressure above 0");
  if (contact.contactPackets == 0 || !Has(session, PK_NORMAL_PRESSURE)) return;
  WriteRow(output, u"Pressure in contact", u"%u..%u, %u%% of the range reached", contact.pressureMin,
           contact.pressureMax, PressureShare(session, contact.pressureMax));
}

void WriteTiltAndButtons(PenOutput& output, const PenSession& session) {
  const PenTally& tally = session.tally;
  if (tally.packets == 0) return;
  if (Has(session, PK_ORIENTATION)) {
    WriteRow(output, u"Tilt", u"azimuth %d..%d, altitude %d..%d", tally.azimuthMin, tally.azimuthMax,
             tally.altitudeMin, tally.altitudeMax);
  }
  if (!Has(session, PK_BUTTONS)) return;
  PenLine line(output);
  line.Add(u"%-30s ", u"Buttons pressed");
  if (tally.buttonsSeen == 0) line.Add(u"none");
  bool first = true;
  for (uint32_t bit = 0; bit < 32; ++bit) {
    if ((tally.buttonsSeen & (1u << bit)) == 0) continue;
    if (first) {
      line.Add(u"%u", bit);
    } else {
      line.Add(u", %u", bit);
    }
    first = false;
  }
  if (tally.buttonsSeen != 0) line.Add(u" (0x%08x)", tally.buttonsSeen);
  line.End();
}

void WriteReportRate(PenOutput& output, const PenSession& session) {
  const PenTally& tally = session.tally;
  if (tally.packets == 0) return;
  PenLine line(output);
  line.Add(u"%-30s ", u"Report rate");
  if (tally.gapCount == 0) {
    line.Add(u"not measured (fewer than two packets in proximity)");
  } else {
    line.Add(u"%u packets/s in proximity, gaps median %u ms, largest %u ms (by %s)", ReportRate(tally),
             MedianGap(tally), tally.largestGap, Has(session, PK_TIME) ? u"pkTime" : u"arrival");
  }
  if (session.packetRateKnown) {
    line.Add(u"; DVC_PKTRATE %u", session.packetRate);
  } else {
    line.Add(u"; DVC_PKTRATE not answered");
  }
  line.End();
}

void WriteCursors(PenOutput& output, const PenSession& session) {
  PenLine line(output);
  line.Add(u"%-30s ", u"Cursors seen");
  if (!Has(session, PK_CURSOR)) {
    line.Add(u"not in the packets").End();
    return;
  }
  const PenTally& tally = session.tally;
  if (tally.cursorCount == 0) line.Add(u"none");
  for (uint32_t k = 0; k < tally.cursorCount; ++k) {
    const char16_t* name = session.cursorNames[k];
    if (k != 0) line.Add(u", ");
    line.Add(u"%u \"%s\" (%u)", tally.cursors[k], name, tally.cursorPackets[k]);
  }
  if (tally.otherCursorPackets != 0) line.Add(u", others (%u)", tally.otherCursorPackets);
  line.End();
}

void WriteVerdict(PenOutput& output, const PenSession& session) {
  char16_t text[kQueuedLineUnits];
  if (PenVerdictText(session, text, kQueuedLineUnits) == 0) return;
  const char16_t* shown = text;
  WriteRow(output, u"Verdict", u"%s", shown);
}

void WriteSummary(PenOutput& output, const PenSession& session) {
  const PenTally& tally = session.tally;
  WriteLine(output, u"");
  WriteRow(output, u"Packets read", u"%u", tally.packets);
  WriteRange(output, session, u"x", PK_X, 0, tally.xMin, tally.xMax, false);
  WriteRange(output, session, u"y", PK_Y, 1, tally.yMin, tally.yMax, false);
  WriteRange(output, session, u"pressure", PK_NORMAL_PRESSURE, 2, static_cast<int32_t>(tally.pressureMin),
             static_cast<int32_t>(tally.pressureMax), true);
  WriteContact(output, session);
  WriteTiltAndButtons(output, session);
  WriteReportRate(output, session);
  WriteCursors(output, session);
  WriteVerdict(output, session);
}

}  // namespace

void WritePenEvent(void* context, const PenSession& session, const PenEvent& event) {
  PenOutput& output = *static_cast<PenOutput*>(context);
  switch (event.kind) {
    case PenEventKind::started:
      WriteLine(output, u"");
      WriteLine(output, u"PEN CHECK");
      return;
    case PenEventKind::callFaulted:
      WriteRow(output, event.call, u"<exception>");
      return;
    case PenEventKind::libraryNotLoaded:
      WriteLine(output, u"Error: library WINTAB32.DLL not found or failed to load (GetLastError()=%u): %s", event.value,
                LoadErrorMeaning(event.value));
      return;
    case PenEventKind::entryPointsMissing:
      WriteMissingEntryPoints(output, event.value);
      return;
    case PenEventKind::noDefaultContext:
      WriteRow(output, u"WTI_DEFCONTEXT", u"{%3u} ", event.value);
      WriteLine(output, u"Error: no 212-byte default context: the pen check cannot open one");
      return;
    case PenEventKind::contextRead:
      WriteContext(output, session, event.value);
      return;
    case PenEventKind::unknownFieldsDropped:
      WriteLine(output, u"Note: lcPktData bits 0x%08x are no packet fields known here: opened without them",
                event.value);
      return;
    case PenEventKind::outOfMemory:
      WriteLine(output, u"Error: out of memory");
      return;
    case PenEventKind::contextOpened: {
      PenLine line(output);
      line.Add(u"%-30s ", u"WTOpenW()");
      AddHandle(line, reinterpret_cast<uintptr_t>(session.context), kPenHandleBytes);
      line.End();
      if (session.context == nullptr) {
        WriteLine(output, u"Error: WTOpenW() opened no context: the pen check cannot read packets");
      }
      return;
    }
    case PenEventKind::enabled:
      WriteRow(output, u"WTEnable(TRUE)", u"%d", event.answer);
      return;
    case PenEventKind::readingStarted:
      WriteLine(output, u"Reading packets for %u s: move the pen over the tablet (Ctrl+C ends it early)",
                session.settings.seconds);
      WriteLine(output, u"");
      WriteColumnHeadings(output, session);
      return;
    case PenEventKind::proximity:
      WriteProximity(output, event);
      return;
    case PenEventKind::packet:
      WritePacket(output, session, *event.packet);
      return;
    case PenEventKind::brokenCount:
      WriteRow(output, u"WTPacketsGet()", u"returned %d for 1 packet asked", event.answer);
      return;
    case PenEventKind::readingEnded:
      WriteReadingEnd(output, event.readingEnd);
      return;
    case PenEventKind::closed:
      WriteRow(output, u"WTClose()", u"%d", event.answer);
      return;
    case PenEventKind::summary:
      WriteSummary(output, session);
      return;
    case PenEventKind::hardException:
      WriteRow(output, event.call, u"%s", kHardExceptionEnding);
      return;
  }
}

void DescribePenWindow(void*, const PenSession& session, char16_t* text, size_t capacity) {
  size_t length = 0;
  const auto add = [&](const char16_t* format, std::initializer_list<textformat::FormatArg> args) {
    if (length + 1 >= capacity) return;
    length += textformat::FormatPiece(text + length, capacity - length, format, args.begin(), args.size()).stored;
  };
  const uint64_t now = MillisecondsNow();
  if (session.readingDeadline == 0) {
    add(u"PADSCOPE pen check: starting", {});
  } else {
    const uint64_t left = session.readingDeadline > now ? (session.readingDeadline - now + 999) / 1000 : 0;
    add(u"PADSCOPE pen check: %u s left, %u packets read",
        {textformat::MakeArg(static_cast<uint32_t>(left)), textformat::MakeArg(session.tally.packets)});
  }
  add(u"\r\nMove the pen over the tablet and press the tip. Escape or closing this window ends the check.", {});
  if (session.tally.packets == 0) return;
  const DecodedPacket& packet = session.lastPacket;
  add(u"\r\nLast packet:", {});
  if (Has(session, PK_CURSOR)) add(u" cursor %u", {textformat::MakeArg(packet.cursor)});
  if (Has(session, PK_X)) add(u" x %d", {textformat::MakeArg(packet.x)});
  if (Has(session, PK_Y)) add(u" y %d", {textformat::MakeArg(packet.y)});
  if (Has(session, PK_NORMAL_PRESSURE)) add(u" pressure %u", {textformat::MakeArg(packet.normalPressure)});
  if (Has(session, PK_BUTTONS)) add(u" buttons 0x%08x", {textformat::MakeArg(packet.buttons)});
}
