#include "cli/pen_lines.h"

#include <cstring>

#include "cli/pen_text.h"
#include "diagnosis/load_error.h"
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
                                          u"at the answer above"};
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
  if (session.axisKnown[axis]) {
    line.Add(u" of %d..%d", session.axes[axis].axMin, session.axes[axis].axMax);
  } else {
    line.Add(u" (the device gave no axis)");
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

void WriteVerdict(PenOutput& output, const PenSession& session, PenVerdict verdict) {
  switch (verdict) {
    case PenVerdict::none:
      return;
    case PenVerdict::noPackets:
      WriteRow(output, u"Verdict", u"no packets came: was the pen moved over the tablet during the check?");
      return;
    case PenVerdict::noPressureField:
      WriteRow(output, u"Verdict", u"the packets carry no pressure: lcPktData lacks PK_NORMAL_PRESSURE");
      return;
    case PenVerdict::pressureZero:
      WriteRow(output, u"Verdict", u"pressure never left 0 while the pen moved");
      return;
    case PenVerdict::pressureFixed:
      WriteRow(output, u"Verdict", u"pressure never changed (always %u) while the pen moved",
               session.tally.pressureMin);
      return;
  }
}

void WriteSummary(PenOutput& output, const PenSession& session, PenVerdict verdict) {
  const PenTally& tally = session.tally;
  WriteLine(output, u"");
  WriteRow(output, u"Packets read", u"%u", tally.packets);
  WriteRange(output, session, u"x", PK_X, 0, tally.xMin, tally.xMax, false);
  WriteRange(output, session, u"y", PK_Y, 1, tally.yMin, tally.yMax, false);
  WriteRange(output, session, u"pressure", PK_NORMAL_PRESSURE, 2, static_cast<int32_t>(tally.pressureMin),
             static_cast<int32_t>(tally.pressureMax), true);
  WriteCursors(output, session);
  WriteVerdict(output, session, verdict);
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
                LoadErrorMeaning(event.value).c_str());
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
      WriteSummary(output, session, event.verdict);
      return;
    case PenEventKind::hardException:
      WriteRow(output, event.call, u"%s", kHardExceptionEnding);
      return;
  }
}
