#include "pen/pen_session.h"

#include <cstring>
#include <new>

#include "platform/platform.h"

const char16_t* const kPenEntryPointNames[kPenEntryPoints] = {u"WTInfoW()", u"WTOpenW()", u"WTEnable()",
                                                              u"WTPacketsGet()", u"WTClose()"};

namespace {

using namespace wintab;

// How often the reading looks for packets, and how many it takes at most
// before it lets the window's messages and the clock have their turn.
constexpr uint32_t kReadPauseMs = 1;
constexpr int kPacketsPerRound = 64;

void Emit(PenSession& session, const PenEvent& event) { session.sink(session.sinkContext, session, event); }

void Emit(PenSession& session, PenEventKind kind) {
  PenEvent event{};
  event.kind = kind;
  Emit(session, event);
}

void EmitValue(PenSession& session, PenEventKind kind, uint32_t value) {
  PenEvent event{};
  event.kind = kind;
  event.value = value;
  Emit(session, event);
}

void EmitAnswer(PenSession& session, PenEventKind kind, int answer) {
  PenEvent event{};
  event.kind = kind;
  event.answer = answer;
  Emit(session, event);
}

void OnContainedFault(void* argument, const char16_t* label) {
  PenEvent event{};
  event.kind = PenEventKind::callFaulted;
  event.call = label;
  Emit(*static_cast<PenSession*>(argument), event);
}

void SetEnding(PenSession& session, PenEnding ending) {
  if (session.ending == PenEnding::complete) session.ending = ending;
}

// ---- reading the context and the device ------------------------------------

bool ReadDefaultContext(PenSession& session) {
  const uint32_t bytes = AskInfo(session.caller, u"WTI_DEFCONTEXT", session.library, WTI_DEFCONTEXT, 0, session.answer);
  if (session.caller.anyFaulted) return false;
  if (bytes != sizeof(LOGCONTEXTW)) {
    EmitValue(session, PenEventKind::noDefaultContext, bytes);
    SetEnding(session, PenEnding::noContext);
    return false;
  }
  std::memcpy(session.logContext, session.answer, sizeof(LOGCONTEXTW));
  EmitValue(session, PenEventKind::contextRead, bytes);
  const uint32_t unknown = session.logContext->lcPktData & ~kKnownPacketFields;
  if (unknown != 0) {
    // Their sizes are unknown, so no record with them could be read safely.
    EmitValue(session, PenEventKind::unknownFieldsDropped, unknown);
    session.logContext->lcPktData &= kKnownPacketFields;
  }
  return true;
}

void ReadDeviceAxes(PenSession& session) {
  static const struct {
    const char16_t* label;
    uint32_t index;
  } kAxes[] = {{u"DVC_X", DVC_X}, {u"DVC_Y", DVC_Y}, {u"DVC_NPRESSURE", DVC_NPRESSURE}};
  for (size_t k = 0; k < 3; ++k) {
    const uint32_t bytes = AskInfo(session.caller, kAxes[k].label, session.library,
                                   WTI_DEVICES + session.logContext->lcDevice, kAxes[k].index, session.answer);
    session.axisKnown[k] = bytes == sizeof(AXIS);
    if (session.axisKnown[k]) std::memcpy(&session.axes[k], session.answer, sizeof(AXIS));
  }
  const uint32_t bytes = AskInfo(session.caller, u"DVC_PKTRATE", session.library,
                                 WTI_DEVICES + session.logContext->lcDevice, DVC_PKTRATE, session.answer);
  session.packetRateKnown = bytes == sizeof(uint32_t);
  if (session.packetRateKnown) std::memcpy(&session.packetRate, session.answer, sizeof(uint32_t));
}

// ---- packets -----------------------------------------------------------------

void TellProximity(PenSession& session, bool entering, bool cursorKnown, uint32_t cursor, bool fromMessage) {
  session.inContext = entering;
  PenEvent event{};
  event.kind = PenEventKind::proximity;
  event.entering = entering;
  event.cursorKnown = cursorKnown;
  event.cursor = cursor;
  event.fromMessage = fromMessage;
  Emit(session, event);
}

void OnProximityMessage(void* argument, bool entering) {
  auto& session = *static_cast<PenSession*>(argument);
  if (entering != session.inContext) TellProximity(session, entering, false, 0, true);
}

void TakePacket(PenSession& session, const DecodedPacket& packet) {
  // Without a status the packet itself says the cursor is in the context.
  const bool inside = !PenPacketsCarry(session, PK_STATUS) || (packet.status & TPS_PROXIMITY) == 0;
  if (inside != session.inContext) {
    TellProximity(session, inside, PenPacketsCarry(session, PK_CURSOR), packet.cursor, false);
  }
  PenEvent event{};
  event.kind = PenEventKind::packet;
  event.packet = &packet;
  session.lastPacket = packet;
  Emit(session, event);
  const uint32_t time = PenPacketsCarry(session, PK_TIME) ? packet.time : static_cast<uint32_t>(MillisecondsNow());
  TallyPacket(session.tally, packet, session.layout.fields, time, inside);
}

// Reads packets one at a time: drivers disagree about the padding at the
// end of a 64-bit record with a context handle, and a single record makes
// the distance between records irrelevant. A driver that writes more than
// the one record asked faults on the no-access page behind it.
PenReadingEnd ReadPackets(PenSession& session) {
  const uint64_t started = MillisecondsNow();
  const uint64_t deadline = started + static_cast<uint64_t>(session.settings.seconds) * 1000u;
  session.readingDeadline = deadline;
  for (;;) {
    for (int n = 0; n < kPacketsPerRound; ++n) {
      std::memset(session.packet, 0, session.layout.recordBytes);
      int got = 0;
      if (!GetPenPackets(session.caller, session.library, session.context, 1, session.packet, got)) {
        return PenReadingEnd::fault;
      }
      if (got == 0) break;
      if (got != 1) {
        EmitAnswer(session, PenEventKind::brokenCount, got);
        return PenReadingEnd::brokenAnswer;
      }
      TakePacket(session, DecodePacket(session.layout, kPenHandleBytes, session.packet));
    }
    if (session.stopRequested.load()) return PenReadingEnd::stopped;
    if (session.windowClosed.load()) return PenReadingEnd::windowClosed;
    if (MillisecondsNow() >= deadline) return PenReadingEnd::timeUp;
    WaitOnPenWindow(session.window, kReadPauseMs);
    session.progress.fetch_add(1);
  }
}

// ---- the summary -------------------------------------------------------------

void ReadCursorNames(PenSession& session) {
  for (uint32_t k = 0; k < session.tally.cursorCount; ++k) {
    const uint32_t bytes = AskInfo(session.caller, u"CSR_NAME", session.library,
                                   WTI_CURSORS + session.tally.cursors[k], CSR_NAME, session.answer);
    const size_t units = bytes / 2 < kPenCursorNameUnits ? bytes / 2 : kPenCursorNameUnits;
    std::memcpy(session.cursorNames[k], session.answer, units * 2);
    session.cursorNames[k][units] = 0;
  }
}

void Summarise(PenSession& session) {
  ReadCursorNames(session);
  session.verdict = JudgePen(session);
  Emit(session, PenEventKind::summary);
}

void DescribeForWindow(void* argument, char16_t* text, size_t capacity) {
  const auto& session = *static_cast<const PenSession*>(argument);
  session.settings.describeWindow(session.settings.describeContext, session, text, capacity);
}

// ---- the sequence ------------------------------------------------------------

bool FindsEveryEntryPoint(PenSession& session) {
  const PenLibrary& library = session.library;
  const bool found[kPenEntryPoints] = {library.info != nullptr, library.open != nullptr, library.enable != nullptr,
                                       library.packetsGet != nullptr, library.close != nullptr};
  uint32_t missing = 0;
  for (size_t k = 0; k < kPenEntryPoints; ++k) missing |= found[k] ? 0u : 1u << k;
  if (missing == 0) return true;
  EmitValue(session, PenEventKind::entryPointsMissing, missing);
  SetEnding(session, PenEnding::noEntryPoints);
  return false;
}

void ReadFromOpenContext(PenSession& session) {
  int enabled = 0;
  if (!EnablePenContext(session.caller, session.library, session.context, enabled)) {
    session.enableFaulted = true;
    return;
  }
  session.enableAnswer = enabled;
  EmitAnswer(session, PenEventKind::enabled, enabled);
  Emit(session, PenEventKind::readingStarted);
  PenEvent ended{};
  ended.kind = PenEventKind::readingEnded;
  ended.readingEnd = ReadPackets(session);
  session.readingEnd = ended.readingEnd;
  Emit(session, ended);
  if (ended.readingEnd == PenReadingEnd::brokenAnswer) SetEnding(session, PenEnding::brokenAnswer);
}

void OpenAndRead(PenSession& session) {
  if (!ReadDefaultContext(session)) return;
  ReadDeviceAxes(session);
  session.layout = LayOutPacket(session.logContext->lcPktData, kPenHandleBytes);
  session.packet = static_cast<uint8_t*>(platform::AllocateGuarded(session.layout.recordBytes));
  if (session.packet == nullptr) {
    Emit(session, PenEventKind::outOfMemory);
    SetEnding(session, PenEnding::noContext);
    return;
  }
  session.window.visible = session.settings.showWindow;
  session.window.messageBase = session.logContext->lcMsgBase;
  // Packets with a status tell proximity in their order; the message comes
  // whenever the window's turn comes, so it is heard only when they cannot.
  if (!PenPacketsCarry(session, PK_STATUS)) session.window.proximity = &OnProximityMessage;
  session.window.proximityContext = &session;
  if (session.settings.describeWindow != nullptr) {
    session.window.describe = &DescribeForWindow;
    session.window.describeContext = &session;
  }
  session.window.closed = &session.windowClosed;
  const bool ownWindow = session.settings.hostWindow == nullptr;
  if (ownWindow) {
    session.caller.currentCall.store(u"CreateWindowExW()");
    CreatePenWindow(session.window);
    session.caller.currentCall.store(nullptr);
  } else {
    session.window.window = session.settings.hostWindow;
    session.window.visible = true;
  }
  if (OpenPenContext(session.caller, session.library, session.window.window, session.logContext, session.context)) {
    Emit(session, PenEventKind::contextOpened);
    if (session.context == nullptr) {
      SetEnding(session, PenEnding::noContext);
    } else {
      ReadFromOpenContext(session);
      int closed = 0;
      if (ClosePenContext(session.caller, session.library, session.context, closed)) {
        EmitAnswer(session, PenEventKind::closed, closed);
      }
      Summarise(session);
    }
  }
  if (ownWindow) DestroyPenWindow(session.window);
  platform::FreeGuarded(session.packet, session.layout.recordBytes);
}

void RunSteps(void* argument) {
  auto& session = *static_cast<PenSession*>(argument);
  Emit(session, PenEventKind::started);
  uint32_t loadError = 0;
  if (!LoadPenLibrary(session.caller, session.library, loadError)) {
    if (!session.caller.anyFaulted) {
      EmitValue(session, PenEventKind::libraryNotLoaded, loadError);
      SetEnding(session, PenEnding::noEntryPoints);
    }
    return;
  }
  if (FindsEveryEntryPoint(session)) OpenAndRead(session);
  ReleasePenLibrary(session.caller, session.library);
}

}  // namespace

bool PenPacketsCarry(const PenSession& session, uint32_t field) { return (session.layout.fields & field) != 0; }

namespace {

// The device's pressure range, or the values seen when it gave no axis.
void PressureRange(const PenSession& session, int64_t& low, int64_t& high) {
  if (session.axisKnown[2] && session.axes[2].axMax > session.axes[2].axMin) {
    low = session.axes[2].axMin;
    high = session.axes[2].axMax;
  } else {
    low = 0;
    high = session.tally.pressureMax;
  }
}

}  // namespace

uint32_t NearZeroPressure(const PenSession& session) {
  int64_t low = 0, high = 0;
  PressureRange(session, low, high);
  const int64_t nearZero = low + (high - low) / kNearZeroShare;
  return nearZero < 0 ? 0 : static_cast<uint32_t>(nearZero);
}

uint32_t PressureShare(const PenSession& session, uint32_t value) {
  int64_t low = 0, high = 0;
  PressureRange(session, low, high);
  if (high <= low || value <= low) return 0;
  if (value >= high) return 100;
  return static_cast<uint32_t>((static_cast<int64_t>(value) - low) * 100 / (high - low));
}

PenVerdict JudgePen(const PenSession& session) {
  const PenTally& tally = session.tally;
  if (session.enableFaulted || session.readingEnd == PenReadingEnd::fault) return PenVerdict::libraryFaulted;
  if (session.readingEnd == PenReadingEnd::brokenAnswer) return PenVerdict::libraryBrokeCount;
  if (tally.packets == 0) {
    if (session.enableAnswer == 0) return PenVerdict::libraryNotEnabled;
    if (session.window.window != nullptr && !session.window.visible) return PenVerdict::hiddenWindow;
    return PenVerdict::noPackets;
  }
  if (!PenPacketsCarry(session, PK_NORMAL_PRESSURE)) return PenVerdict::noPressureField;
  const ContactTally& contact = ContactOf(tally, session.layout.fields);
  if (contact.contactPackets == 0) return PenVerdict::onlyHovered;
  if (contact.pressureMax == 0) return PenVerdict::pressureZero;
  if (contact.contactPackets > 1 && contact.pressureMin == contact.pressureMax &&
      PenMoved(tally, session.layout.fields)) {
    return PenVerdict::pressureFixed;
  }
  if (contact.liftedPackets > 0 && contact.liftedPressureMin > NearZeroPressure(session)) {
    return PenVerdict::tipNotReleased;
  }
  if (PressureShare(session, contact.pressureMax) * kLowRangeShare < 100) return PenVerdict::lowPressureRange;
  return PenVerdict::none;
}

PenSession* NewPenSession(const PenSettings& settings, PenEventSink sink, void* sinkContext) {
  auto* session = new (std::nothrow) PenSession;
  if (session == nullptr) return nullptr;
  session->settings = settings;
  session->sink = sink;
  session->sinkContext = sinkContext;
  session->caller.progress = &session->progress;
  session->caller.faulted = &OnContainedFault;
  session->caller.faultContext = session;
  session->caller.safeMode = settings.safeMode;
  session->caller.noNullBuffer = settings.noNullBuffer;
  session->answer = static_cast<uint8_t*>(platform::AllocateGuarded(kMaxAnswerBytes));
  session->logContext = static_cast<LOGCONTEXTW*>(platform::AllocateGuarded(sizeof(LOGCONTEXTW)));
  if (session->answer == nullptr || session->logContext == nullptr) {
    DeletePenSession(session);
    return nullptr;
  }
  return session;
}

void DeletePenSession(PenSession* session) {
  if (session == nullptr) return;
  if (session->answer != nullptr) platform::FreeGuarded(session->answer, kMaxAnswerBytes);
  if (session->logContext != nullptr) platform::FreeGuarded(session->logContext, sizeof(LOGCONTEXTW));
  delete session;
}

const char16_t* PenCallUnderWay(const PenSession& session) { return session.caller.currentCall.load(); }

void RunPenSession(void* argument) {
  auto& session = *static_cast<PenSession*>(argument);
  platform::ReserveStackForGuard();  // a driver that overflows the stack costs one row too
  if (platform::RunGuarded(&RunSteps, &session).faulted) {
    session.ending = PenEnding::hardException;
    PenEvent event{};
    event.kind = PenEventKind::hardException;
    const char16_t* call = PenCallUnderWay(session);
    event.call = call != nullptr ? call : u"";
    Emit(session, event);
    return;
  }
  if (session.caller.anyFaulted) SetEnding(session, PenEnding::callFaulted);
}
