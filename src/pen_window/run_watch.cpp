#include "pen_window/run_watch.h"

#include "pen/pen_tally.h"
#include "pen_window/canvas_view.h"
#include "pen_window/context_window.h"
#include "pen_window/header_text.h"
#include "pen_window/pen_run.h"
#include "run/watchdog.h"
#include "wintab/wintab_binding.h"

namespace {

using namespace wintab;

// The worker of the last run, for the end of the process.
HANDLE lastWorker = nullptr;

bool IsEraser(const PenWindowState& state, const DecodedPacket& packet) {
  constexpr uint32_t kInverted = 0x0010;  // TPS_INVERT: the pen is turned over
  if (PenPacketsCarry(state.shadow, PK_STATUS) && (packet.status & kInverted) != 0) return true;
  if (packet.cursor >= kNamedCursors) return false;
  const std::u16string& name = state.cursorNames[packet.cursor];
  const char16_t word[] = u"eraser";
  for (size_t at = 0; at + 6 <= name.size(); ++at) {
    size_t k = 0;
    while (k < 6 && (name[at + k] | 0x20) == word[k]) ++k;
    if (k == 6) return true;
  }
  return false;
}

void ResetLive(PenWindowState& state) {
  state.headerShown = false;
  state.hung = false;
  state.hungCall = nullptr;
  state.reading = false;
  state.haveLast = false;
  state.inContact = false;
  state.packetsPerSecond = 0;
  state.rateCount = 0;
  state.shadow.tally = PenTally{};
  state.shadow.layout = PacketLayout{};
  state.lastPanelUpdate = 0;
  state.unpainted.clear();
  for (uint32_t& count : state.latencyCounts) count = 0;
  state.packetPaints = 0;
  state.firstReadUs = state.lastReadUs = 0;
}

void ShowHeader(PenWindowState& state) {
  const std::u16string text = HeaderText(*state.run, state.hung, state.hungCall);
  SetWindowTextW(state.header, reinterpret_cast<const wchar_t*>(text.c_str()));
  for (uint32_t n = 0; n < kNamedCursors; ++n) state.cursorNames[n] = LoggedCursorName(*state.run, n);
  state.headerShown = true;
}

// The session's record holds its layout and axes once it reads: the shadow
// takes them, and the canvas the tablet's area.
void BeginReading(PenWindowState& state, const PenSession& session) {
  PenSession& shadow = state.shadow;
  shadow.layout = session.layout;
  for (size_t k = 0; k < 3; ++k) {
    shadow.axes[k] = session.axes[k];
    shadow.axisKnown[k] = session.axisKnown[k];
  }
  shadow.enableAnswer = session.enableAnswer;
  shadow.window.window = session.window.window;
  shadow.window.visible = session.window.visible;
  TabletArea tablet;
  const LOGCONTEXTW& context = *session.logContext;
  if (session.axisKnown[0] && session.axisKnown[1]) {
    tablet = TabletArea{session.axes[0].axMin, session.axes[0].axMax, session.axes[1].axMin, session.axes[1].axMax};
  } else {
    tablet = TabletArea{context.lcOutOrgX, context.lcOutOrgX + context.lcOutExtX, context.lcOutOrgY,
                        context.lcOutOrgY + (context.lcOutExtY < 0 ? -context.lcOutExtY : context.lcOutExtY)};
  }
  // The packets' y grows upwards unless the context's output extent turns it.
  tablet.yUp = context.lcOutExtY >= 0;
  state.canvas.tablet = tablet;
  if (session.axisKnown[2]) {
    state.canvas.pressureMin = static_cast<uint32_t>(session.axes[2].axMin);
    state.canvas.pressureMax = static_cast<uint32_t>(session.axes[2].axMax);
  }
  PlaceCanvas(state, state.canvas.bounds);
  state.reading = true;
}

void TakeSample(void* context, const PenSample& sample) {
  auto& state = *static_cast<PenWindowState*>(context);
  const DecodedPacket& packet = sample.packet;
  const uint32_t fields = state.shadow.layout.fields;
  const uint32_t time = (fields & PK_TIME) != 0 ? packet.time : static_cast<uint32_t>(sample.readAtUs / 1000u);
  TallyPacket(state.shadow.tally, packet, fields, time, sample.inProximity);
  ++state.rateCount;
  state.last = sample;
  state.haveLast = true;
  if (state.firstReadUs == 0) state.firstReadUs = sample.readAtUs;
  state.lastReadUs = sample.readAtUs;
  const bool tip = (fields & PK_BUTTONS) != 0 && (packet.buttons & 1u) != 0;
  const bool contact = sample.inProximity && (packet.normalPressure > 0 || tip);
  if (contact) {
    InkPoint point{packet.x, packet.y, packet.normalPressure, IsEraser(state, packet), !state.inContact};
    DrawInk(state, AddInk(state.canvas, point));
  }
  state.inContact = contact;
  // What the pen did over the tablet shows at the next paint.
  constexpr size_t kUnpaintedKept = 65536;
  if (sample.inProximity && state.unpainted.size() < kUnpaintedKept) state.unpainted.push_back(sample.readAtUs);
}

void GiveUp(PenWindowState& state) {
  state.anyRunGivenUp = true;
  state.run = nullptr;
}

// A worker whose progress has stood still for a whole watchdog period hangs:
// read at every tick, so that "<hung>" shows a period after the last call
// began, not up to two.
void Watchdog(PenWindowState& state, uint64_t now) {
  PenRun& run = *state.run;
  const RunPhase phase = run.phase.load();
  const int32_t progress = PenRunProgress(run);
  // The diagnosis watches its own questions; an ended worker cannot hang.
  if (progress != state.lastProgress || phase == RunPhase::diagnosis || phase == RunPhase::ended) {
    state.lastProgress = progress;
    state.lastWatch = now;
    return;
  }
  if (state.hung || now - state.lastWatch < kWatchdogPeriodMs) return;
  state.hung = true;
  state.hungCall = PenRunCallUnderWay(run);
  if (phase == RunPhase::report) ShowHeader(state);
}

}  // namespace

void StartRun(PenWindowState& state) {
  ResetLive(state);
  ClearCanvas(state);  // a new test draws on a clean canvas
  state.run = StartPenRun(ContextWindowFor(state.window));
  state.lastWatch = GetTickCount64();
  state.lastProgress = -1;
  if (state.run == nullptr) {
    SetWindowTextW(state.header, L"The test could not start: memory is short.");
    return;
  }
  lastWorker = static_cast<HANDLE>(state.run->thread);
  SetWindowTextW(state.header, L"Testing the tablet...");
}

void TestAgain(PenWindowState& state) {
  if (state.run == nullptr) {
    StartRun(state);
    return;
  }
  StopPenRun(*state.run);
  state.restartWanted = true;
  state.restartAskedAt = GetTickCount64();
}

void WatchRun(PenWindowState& state, uint64_t now) {
  if (state.restartWanted) {
    const bool ended = state.run == nullptr || PenRunEnded(*state.run);
    if (ended || state.hung || now - state.restartAskedAt >= kGiveUpMs) {
      state.restartWanted = false;
      if (ended) {
        DeletePenRun(state.run);
        state.run = nullptr;
        lastWorker = nullptr;
      } else {
        GiveUp(state);
      }
      StartRun(state);
      return;
    }
  }
  if (state.run == nullptr) return;
  PenRun& run = *state.run;
  const RunPhase phase = run.phase.load();
  if (!state.headerShown && (phase == RunPhase::pen || phase == RunPhase::ended)) ShowHeader(state);
  const PenSession* session = run.session.load();
  if (!state.reading && session != nullptr && run.feed.stage.load() != PenFeedStage::starting) {
    BeginReading(state, *session);
  }
  // The cross-hair moves only with a packet: a pen held still costs no paint.
  if (state.reading && DrainPenFeed(run.feed, &TakeSample, &state) > 0) {
    MoveMark(state);
    state.shadow.verdict = JudgePen(state.shadow);  // what the packets so far show
  }
  if (now - state.rateStartedAt >= 1000) {
    state.packetsPerSecond = static_cast<uint32_t>(state.rateCount * 1000u / (now - state.rateStartedAt));
    state.rateCount = 0;
    state.rateStartedAt = now;
  }
  Watchdog(state, now);
}

bool EndRunsForClose(PenWindowState& state) {
  if (state.run != nullptr) StopPenRun(*state.run);
  return state.anyRunGivenUp || state.hung;
}

bool LastRunEnded(uint32_t milliseconds) {
  return lastWorker == nullptr || WaitForSingleObject(lastWorker, milliseconds) == WAIT_OBJECT_0;
}
