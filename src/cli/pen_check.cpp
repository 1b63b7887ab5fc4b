#include "pen_check.h"

#include <atomic>
#include <cstring>

#include "packet_layout.h"
#include "pen_calls.h"
#include "pen_output.h"
#include "pen_system.h"
#include "pen_tally.h"
#include "platform/platform.h"
#include "report/dialog_state.h"
#include "report_outcome.h"
#include "watched_test.h"
#include "wintab/wintab_binding.h"

namespace {

using namespace wintab;

// How often the reading looks for packets, and how many it takes at most
// before it lets the window's messages and the clock have their turn.
constexpr uint32_t kReadPauseMs = 5;
constexpr int kPacketsPerRound = 64;

// Cursor names in the summary are cut to this many units.
constexpr size_t kCursorNameUnits = 32;

enum class ReadingEnd { timeUp, interrupted, fault, brokenAnswer };

// The whole check as plain data: it lives on the heap and is never freed
// when a call hangs, and the worker's frames hold nothing with a
// destructor (a fault without Safe Mode abandons them).
struct PenCheck {
  PenCheckSettings settings;
  PenOutput output;
  PenCaller caller;
  std::atomic<bool> interrupted{false};
  int exitCode = 0;

  PenLibrary library;
  uint8_t* answer = nullptr;        // WTInfoW answers, kMaxAnswerBytes, no-access page after
  LOGCONTEXTW* logContext = nullptr;  // the context opened, no-access page after
  AXIS axes[3] = {};                // DVC_X, DVC_Y, DVC_NPRESSURE
  bool axisKnown[3] = {};
  PacketLayout layout;
  uint8_t* packet = nullptr;        // one record, no-access page after
  PenWindow window;
  void* context = nullptr;
  bool inContext = false;
  PenTally tally;
  char16_t cursorNames[kTalliedCursors][kCursorNameUnits + 1] = {};
};

constexpr size_t kHandleBytes = sizeof(void*);

void SetOutcome(PenCheck& check, int code) {
  if (check.exitCode == 0) check.exitCode = code;
}

// ---- reading the context and the device ------------------------------------

bool ReadDefaultContext(PenCheck& check) {
  const uint32_t bytes = AskInfo(check.caller, u"WTI_DEFCONTEXT", check.library, WTI_DEFCONTEXT, 0, check.answer);
  if (check.caller.faulted) return false;
  if (bytes != sizeof(LOGCONTEXTW)) {
    WriteRow(check.output, u"WTI_DEFCONTEXT", u"{%3u} ", bytes);
    WriteLine(check.output, u"Error: no 212-byte default context: the pen check cannot open one");
    SetOutcome(check, kExitPenNoContext);
    return false;
  }
  std::memcpy(check.logContext, check.answer, sizeof(LOGCONTEXTW));
  char16_t name[kContextNameUnits + 1] = {};
  std::memcpy(name, check.logContext->lcName, sizeof(check.logContext->lcName));
  const char16_t* shownName = name;
  WriteRow(check.output, u"WTI_DEFCONTEXT", u"{%3u} \"%s\", lcDevice %u, lcPktData 0x%08x, lcMsgBase 0x%08x", bytes,
           shownName, check.logContext->lcDevice, check.logContext->lcPktData, check.logContext->lcMsgBase);
  const uint32_t unknown = check.logContext->lcPktData & ~kKnownPacketFields;
  if (unknown != 0) {
    // Their sizes are unknown, so no record with them could be read safely.
    WriteLine(check.output, u"Note: lcPktData bits 0x%08x are no packet fields known here: opened without them",
              unknown);
    check.logContext->lcPktData &= kKnownPacketFields;
  }
  return true;
}

void ReadDeviceAxes(PenCheck& check) {
  static const struct {
    const char16_t* label;
    uint32_t index;
  } kAxes[] = {{u"DVC_X", DVC_X}, {u"DVC_Y", DVC_Y}, {u"DVC_NPRESSURE", DVC_NPRESSURE}};
  for (size_t k = 0; k < 3; ++k) {
    const uint32_t bytes = AskInfo(check.caller, kAxes[k].label, check.library,
                                   WTI_DEVICES + check.logContext->lcDevice, kAxes[k].index, check.answer);
    check.axisKnown[k] = bytes == sizeof(AXIS);
    if (check.axisKnown[k]) std::memcpy(&check.axes[k], check.answer, sizeof(AXIS));
  }
}

// ---- packets -----------------------------------------------------------------

bool Has(const PenCheck& check, uint32_t field) { return (check.layout.fields & field) != 0; }

void WriteColumnHeadings(PenCheck& check) {
  PenLine line(check.output);
  if (Has(check, PK_TIME)) line.Add(u"      time");
  if (Has(check, PK_CURSOR)) line.Add(u"  cursor");
  if (Has(check, PK_BUTTONS)) line.Add(u"     buttons");
  if (Has(check, PK_X)) line.Add(u"         x");
  if (Has(check, PK_Y)) line.Add(u"         y");
  if (Has(check, PK_NORMAL_PRESSURE)) line.Add(u"  pressure");
  if (Has(check, PK_ORIENTATION)) line.Add(u"  azimuth  altitude   twist");
  line.End();
}

void WriteProximity(PenCheck& check, bool entering, bool knownCursor, uint32_t cursor, bool fromMessage) {
  check.inContext = entering;
  PenLine line(check.output);
  line.Add(u"proximity: ");
  if (knownCursor) {
    line.Add(u"cursor %u", cursor);
  } else {
    line.Add(u"the cursor");
  }
  if (entering) {
    line.Add(u" entered the context");
  } else {
    line.Add(u" left the context");
  }
  if (fromMessage) line.Add(u" (WT_PROXIMITY)");
  line.End();
}

void OnProximityMessage(void* argument, bool entering) {
  auto& check = *static_cast<PenCheck*>(argument);
  if (entering != check.inContext) WriteProximity(check, entering, false, 0, true);
}

void WritePacket(PenCheck& check, const DecodedPacket& packet) {
  // Without a status the packet itself says the cursor is in the context.
  const bool inside = !Has(check, PK_STATUS) || (packet.status & TPS_PROXIMITY) == 0;
  if (inside != check.inContext) WriteProximity(check, inside, Has(check, PK_CURSOR), packet.cursor, false);
  PenLine line(check.output);
  if (Has(check, PK_TIME)) line.Add(u"%10u", packet.time);
  if (Has(check, PK_CURSOR)) line.Add(u"  %6u", packet.cursor);
  if (Has(check, PK_BUTTONS)) line.Add(u"  0x%08x", packet.buttons);
  if (Has(check, PK_X)) line.Add(u"  %8d", packet.x);
  if (Has(check, PK_Y)) line.Add(u"  %8d", packet.y);
  if (Has(check, PK_NORMAL_PRESSURE)) line.Add(u"  %8u", packet.normalPressure);
  if (Has(check, PK_ORIENTATION)) {
    line.Add(u"  %7d  %8d  %6d", packet.orientation[0], packet.orientation[1], packet.orientation[2]);
  }
  const uint64_t handle = reinterpret_cast<uintptr_t>(check.context);
  if (Has(check, PK_CONTEXT) && packet.context != handle) {
    line.Add(u"  <pkContext ");
    AddHandle(line, packet.context, kHandleBytes);
    line.Add(u">");
  }
  line.End();
}

// Reads packets one at a time: drivers disagree about the padding at the
// end of a 64-bit record with a context handle, and a single record makes
// the distance between records irrelevant. A driver that writes more than
// the one record asked faults on the no-access page behind it.
ReadingEnd ReadPackets(PenCheck& check) {
  const uint64_t started = MillisecondsNow();
  const uint64_t deadline = started + static_cast<uint64_t>(check.settings.seconds) * 1000u;
  for (;;) {
    for (int n = 0; n < kPacketsPerRound; ++n) {
      std::memset(check.packet, 0, check.layout.recordBytes);
      int got = 0;
      if (!GetPenPackets(check.caller, check.library, check.context, 1, check.packet, got)) return ReadingEnd::fault;
      if (got == 0) break;
      if (got != 1) {
        WriteRow(check.output, u"WTPacketsGet()", u"returned %d for 1 packet asked", got);
        return ReadingEnd::brokenAnswer;
      }
      const DecodedPacket packet = DecodePacket(check.layout, kHandleBytes, check.packet);
      WritePacket(check, packet);
      TallyPacket(check.tally, packet);
    }
    if (check.interrupted.load()) return ReadingEnd::interrupted;
    if (MillisecondsNow() >= deadline) return ReadingEnd::timeUp;
    WaitOnPenWindow(check.window, kReadPauseMs);
    check.output.progress.fetch_add(1);
  }
}

// ---- the summary -------------------------------------------------------------

void WriteRange(PenCheck& check, const char16_t* label, uint32_t field, size_t axis, int32_t low, int32_t high,
                bool unsignedValues) {
  PenLine line(check.output);
  line.Add(u"%-30s ", label);
  if (!Has(check, field)) {
    line.Add(u"not in the packets").End();
    return;
  }
  if (check.tally.packets == 0) {
    line.Add(u"none seen");
  } else if (unsignedValues) {
    line.Add(u"%u..%u seen", static_cast<uint32_t>(low), static_cast<uint32_t>(high));
  } else {
    line.Add(u"%d..%d seen", low, high);
  }
  if (check.axisKnown[axis]) {
    line.Add(u" of %d..%d", check.axes[axis].axMin, check.axes[axis].axMax);
  } else {
    line.Add(u" (the device gave no axis)");
  }
  line.End();
}

void ReadCursorNames(PenCheck& check) {
  for (uint32_t k = 0; k < check.tally.cursorCount; ++k) {
    const uint32_t bytes =
        AskInfo(check.caller, u"CSR_NAME", check.library, WTI_CURSORS + check.tally.cursors[k], CSR_NAME, check.answer);
    const size_t units = bytes / 2 < kCursorNameUnits ? bytes / 2 : kCursorNameUnits;
    std::memcpy(check.cursorNames[k], check.answer, units * 2);
    check.cursorNames[k][units] = 0;
  }
}

void WriteCursors(PenCheck& check) {
  PenLine line(check.output);
  line.Add(u"%-30s ", u"Cursors seen");
  if (!Has(check, PK_CURSOR)) {
    line.Add(u"not in the packets").End();
    return;
  }
  if (check.tally.cursorCount == 0) line.Add(u"none");
  for (uint32_t k = 0; k < check.tally.cursorCount; ++k) {
    const char16_t* name = check.cursorNames[k];
    if (k != 0) line.Add(u", ");
    line.Add(u"%u \"%s\" (%u)", check.tally.cursors[k], name, check.tally.cursorPackets[k]);
  }
  if (check.tally.otherCursorPackets != 0) line.Add(u", others (%u)", check.tally.otherCursorPackets);
  line.End();
}

void WriteVerdict(PenCheck& check) {
  const PenTally& tally = check.tally;
  if (tally.packets == 0) {
    WriteRow(check.output, u"Verdict", u"no packets came: was the pen moved over the tablet during the check?");
    return;
  }
  if (!PenMoved(tally, check.layout.fields)) return;
  if (!Has(check, PK_NORMAL_PRESSURE)) {
    WriteRow(check.output, u"Verdict", u"the packets carry no pressure: lcPktData lacks PK_NORMAL_PRESSURE");
  } else if (tally.pressureMax == 0) {
    WriteRow(check.output, u"Verdict", u"pressure never left 0 while the pen moved");
  } else if (tally.pressureMin == tally.pressureMax) {
    WriteRow(check.output, u"Verdict", u"pressure never changed (always %u) while the pen moved", tally.pressureMin);
  }
}

void WriteSummary(PenCheck& check) {
  ReadCursorNames(check);
  WriteLine(check.output, u"");
  WriteRow(check.output, u"Packets read", u"%u", check.tally.packets);
  WriteRange(check, u"x", PK_X, 0, check.tally.xMin, check.tally.xMax, false);
  WriteRange(check, u"y", PK_Y, 1, check.tally.yMin, check.tally.yMax, false);
  WriteRange(check, u"pressure", PK_NORMAL_PRESSURE, 2, static_cast<int32_t>(check.tally.pressureMin),
             static_cast<int32_t>(check.tally.pressureMax), true);
  WriteCursors(check);
  WriteVerdict(check);
}

// ---- the sequence ------------------------------------------------------------

bool FindsEveryEntryPoint(PenCheck& check) {
  const PenLibrary& library = check.library;
  const struct {
    bool found;
    const char16_t* name;
  } kEntries[] = {{library.info != nullptr, u"WTInfoW()"},
                  {library.open != nullptr, u"WTOpenW()"},
                  {library.enable != nullptr, u"WTEnable()"},
                  {library.packetsGet != nullptr, u"WTPacketsGet()"},
                  {library.close != nullptr, u"WTClose()"}};
  PenLine line(check.output);
  bool allFound = true;
  for (const auto& entry : kEntries) {
    if (entry.found) continue;
    if (allFound) {
      line.Add(u"Error: %s", entry.name);
    } else {
      line.Add(u", %s", entry.name);
    }
    allFound = false;
  }
  if (allFound) return true;
  line.Add(u" not found: the pen check needs WTInfoW, WTOpenW, WTEnable, WTPacketsGet and WTClose").End();
  SetOutcome(check, kExitPenNoEntryPoints);
  return false;
}

void ReadFromOpenContext(PenCheck& check) {
  int enabled = 0;
  if (!EnablePenContext(check.caller, check.library, check.context, enabled)) return;
  WriteRow(check.output, u"WTEnable(TRUE)", u"%d", enabled);
  WriteLine(check.output, u"Reading packets for %u s: move the pen over the tablet (Ctrl+C ends it early)",
            check.settings.seconds);
  WriteLine(check.output, u"");
  WriteColumnHeadings(check);
  const ReadingEnd end = ReadPackets(check);
  static const char16_t* const kEnds[] = {u"the time was up", u"at Ctrl+C", u"at the fault above",
                                          u"at the answer above"};
  WriteLine(check.output, u"");
  WriteRow(check.output, u"Reading ended", u"%s", kEnds[static_cast<int>(end)]);
  if (end == ReadingEnd::brokenAnswer) SetOutcome(check, kExitRowException);
}

void OpenAndRead(PenCheck& check) {
  if (!ReadDefaultContext(check)) return;
  ReadDeviceAxes(check);
  check.layout = LayOutPacket(check.logContext->lcPktData, kHandleBytes);
  check.packet = static_cast<uint8_t*>(platform::AllocateGuarded(check.layout.recordBytes));
  if (check.packet == nullptr) {
    WriteLine(check.output, u"Error: out of memory");
    SetOutcome(check, kExitPenNoContext);
    return;
  }
  check.window.visible = check.settings.showWindow;
  check.window.messageBase = check.logContext->lcMsgBase;
  // Packets with a status tell proximity in their order; the message comes
  // whenever the window's turn comes, so it is heard only when they cannot.
  if (!Has(check, PK_STATUS)) check.window.proximity = &OnProximityMessage;
  check.window.proximityContext = &check;
  check.caller.currentCall.store(u"CreateWindowExW()");
  CreatePenWindow(check.window);
  check.caller.currentCall.store(nullptr);
  if (OpenPenContext(check.caller, check.library, check.window.window, check.logContext, check.context)) {
    PenLine line(check.output);
    line.Add(u"%-30s ", u"WTOpenW()");
    AddHandle(line, reinterpret_cast<uintptr_t>(check.context), kHandleBytes);
    line.End();
    if (check.context == nullptr) {
      WriteLine(check.output, u"Error: WTOpenW() opened no context: the pen check cannot read packets");
      SetOutcome(check, kExitPenNoContext);
    } else {
      ReadFromOpenContext(check);
      int closed = 0;
      if (ClosePenContext(check.caller, check.library, check.context, closed)) {
        WriteRow(check.output, u"WTClose()", u"%d", closed);
      }
      WriteSummary(check);
    }
  }
  DestroyPenWindow(check.window);
  platform::FreeGuarded(check.packet, check.layout.recordBytes);
}

void RunSteps(void* argument) {
  auto& check = *static_cast<PenCheck*>(argument);
  WriteLine(check.output, u"");
  WriteLine(check.output, u"PEN CHECK");
  if (!LoadPenLibrary(check.caller, check.library)) {
    if (!check.caller.faulted) SetOutcome(check, kExitPenNoEntryPoints);
    return;
  }
  if (FindsEveryEntryPoint(check)) OpenAndRead(check);
  ReleasePenLibrary(check.caller, check.library);
}

// The worker: the steps under the guard that catches what Safe Mode does
// not (or what escapes it), as the report's worker runs the report.
void PenCheckWorker(void* argument) {
  auto& check = *static_cast<PenCheck*>(argument);
  platform::ReserveStackForGuard();  // a driver that overflows the stack costs one row too
  if (platform::RunGuarded(&RunSteps, &check).faulted) {
    const char16_t* call = check.caller.currentCall.load();
    WriteRow(check.output, call != nullptr ? call : u"", u"%s", kHardExceptionEnding);
    check.exitCode = kExitHardException;
    return;
  }
  if (check.caller.faulted) SetOutcome(check, kExitRowException);
}

struct Printer {
  void (*write)(void* context, const char16_t* text, size_t length);
  void* context;
  PenCheck* check;
};

void PrintLines(void* argument) {
  auto* printer = static_cast<Printer*>(argument);
  TakeLines(printer->check->output.lines, printer->write, printer->context);
}

}  // namespace

PenCheckResult RunPenCheck(const PenCheckSettings& settings,
                           void (*write)(void* context, const char16_t* text, size_t length), void* writeContext) {
  auto* check = new PenCheck;
  check->settings = settings;
  check->caller.output = &check->output;
  check->caller.safeMode = settings.safeMode;
  check->caller.noNullBuffer = settings.noNullBuffer;
  check->answer = static_cast<uint8_t*>(platform::AllocateGuarded(kMaxAnswerBytes));
  check->logContext = static_cast<LOGCONTEXTW*>(platform::AllocateGuarded(sizeof(LOGCONTEXTW)));
  if (check->answer == nullptr || check->logContext == nullptr) return PenCheckResult{1, false};
  CatchInterrupt(&check->interrupted);
  PreparePenWindows();
  Printer printer{write, writeContext, check};
  if (!RunWatchedWork(&PenCheckWorker, check, check->output.progress, &PrintLines, &printer)) {
    // The worker is stuck in the library and keeps what it holds; only the
    // lines it finished are printed.
    PrintLines(&printer);
    char16_t line[128];
    const char16_t* call = check->caller.currentCall.load();
    const textformat::FormatArg args[] = {textformat::MakeArg(call != nullptr ? call : u""),
                                          textformat::MakeArg(kHungEnding)};
    const size_t length = textformat::FormatPiece(line, 128, u"%-30s %s\r\n", args, 2).stored;
    write(writeContext, line, length);
    return PenCheckResult{kExitHung, true};
  }
  const int exitCode = check->exitCode;
  platform::FreeGuarded(check->answer, kMaxAnswerBytes);
  platform::FreeGuarded(check->logContext, sizeof(LOGCONTEXTW));
  delete check;
  return PenCheckResult{exitCode, false};
}
