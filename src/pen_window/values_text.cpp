#include "pen_window/values_text.h"

#include <iterator>

#include "pen/pen_tally.h"
#include "pen/pen_verdict_text.h"
#include "pen_window/pen_run.h"
#include "pen_window/window_text.h"
#include "report/dialog_state.h"
#include "wintab/wintab_binding.h"

namespace {

using namespace wintab;

bool Carries(const PenWindowState& state, uint32_t field) { return PenPacketsCarry(state.shadow, field); }

const char16_t* StageName(const PenWindowState& state) {
  if (state.run == nullptr) return u"none";
  if (state.hung) return u"hung";
  switch (state.run->phase.load()) {
    case RunPhase::report: return u"report";
    case RunPhase::diagnosis: return u"diagnosis";
    case RunPhase::pen: return state.reading ? u"reading" : u"opening";
    case RunPhase::ended: return u"ended";
  }
  return u"";
}

// Why the session read nothing, from its failure event.
void AddFailure(std::u16string& out, const PenFeed& feed) {
  switch (feed.failure.load()) {
    case PenEventKind::libraryNotLoaded:
      AddText(out, u"The pen cannot be read: WINTAB32.DLL did not load (error %u)\r\n", feed.failureValue);
      return;
    case PenEventKind::entryPointsMissing:
      AddText(out, u"The pen cannot be read: the library lacks WTOpenW, WTEnable, WTPacketsGet or WTClose\r\n");
      return;
    case PenEventKind::noDefaultContext:
      AddText(out, u"The pen cannot be read: no 212-byte default context (WTI_DEFCONTEXT answered %u bytes)\r\n",
              feed.failureValue);
      return;
    case PenEventKind::outOfMemory:
      AddText(out, u"The pen cannot be read: out of memory\r\n");
      return;
    case PenEventKind::contextOpened:
      AddText(out, u"The pen cannot be read: WTOpenW() opened no context\r\n");
      return;
    default:
      return;
  }
}

void AddCalls(std::u16string& out, const PenWindowState& state) {
  if (state.run == nullptr) return;
  const PenFeed& feed = state.run->feed;
  const uint32_t faults = feed.faults.load();
  for (uint32_t k = 0; k < faults; ++k) AddText(out, u"%s %s\r\n", feed.faultedCalls[k], u"<exception>");
  if (feed.hardException.load()) AddText(out, u"%s %s\r\n", feed.hardExceptionCall, kHardExceptionEnding);
  if (state.hung) {
    AddText(out, u"%s %s\r\n", state.hungCall != nullptr ? state.hungCall : u"", kHungEnding);
    out += u"Test again gives this session up and starts a new one.\r\n";
  }
  AddFailure(out, feed);
}

// The lower median of the delays from read to paint, to the bucket's 100 µs.
uint32_t MedianLatencyUs(const PenWindowState& state) {
  uint32_t count = 0;
  for (const uint32_t n : state.latencyCounts) count += n;
  if (count == 0) return 0;
  uint32_t seen = 0;
  for (uint32_t bucket = 0; bucket < std::size(state.latencyCounts); ++bucket) {
    seen += state.latencyCounts[bucket];
    if (seen > (count - 1) / 2) return bucket * 100u;
  }
  return 0;
}

}  // namespace

std::u16string SessionVerdict(const PenWindowState& state) {
  char16_t text[512];
  const PenSession* session = state.run != nullptr ? state.run->session.load() : nullptr;
  if (session != nullptr && state.run->feed.summarised.load() && !state.hung) {
    // The session judged what it saw; its record is final.
    if (PenVerdictText(*session, text, 512) == 0) return u"no problem seen";
    return text;
  }
  if (!state.reading) return u"not yet known";
  if (state.shadow.tally.packets == 0) return u"waiting for the pen: move it over the tablet and press the tip";
  if (PenVerdictText(state.shadow, text, 512) == 0) return u"no problem seen so far";
  return text;
}

std::u16string ValuesText(const PenWindowState& state) {
  std::u16string out;
  const DecodedPacket& packet = state.last.packet;
  if (state.haveLast) {
    if (Carries(state, PK_CURSOR)) {
      const std::u16string& name = packet.cursor < kNamedCursors ? state.cursorNames[packet.cursor] : u"";
      AddText(out, u"Cursor: %u \"%s\"\r\n", packet.cursor, name.c_str());
    }
    if (Carries(state, PK_X)) AddText(out, u"x: %d\r\n", packet.x);
    if (Carries(state, PK_Y)) AddText(out, u"y: %d\r\n", packet.y);
    if (Carries(state, PK_NORMAL_PRESSURE)) {
      AddText(out, u"Pressure: %u (%u%%)\r\n", packet.normalPressure,
              PressureShare(state.shadow, packet.normalPressure));
    }
    if (Carries(state, PK_ORIENTATION)) {
      AddText(out, u"Tilt: azimuth %d, altitude %d (tenths of a degree)\r\n", packet.orientation[0],
              packet.orientation[1]);
    }
    if (Carries(state, PK_BUTTONS)) {
      out += u"Buttons pressed:";
      if (packet.buttons == 0) out += u" none";
      for (uint32_t bit = 0; bit < 32; ++bit) {
        if ((packet.buttons & (1u << bit)) != 0) AddText(out, u" %u", bit);
      }
      out += u"\r\n";
    }
    AddText(out, u"Proximity: %s\r\n", state.last.inProximity ? u"in" : u"out");
  }
  AddText(out, u"Packets per second: %u\r\n", state.packetsPerSecond);
  AddText(out, u"Packets read: %u\r\n", state.shadow.tally.packets);
  AddText(out, u"Strokes drawn: %u\r\n", state.canvas.strokes);
  AddText(out, u"Verdict: %s\r\n", SessionVerdict(state).c_str());
  AddCalls(out, state);
  return out;
}

std::u16string StatusText(const PenWindowState& state) {
  std::u16string out;
  const CanvasRect& box = state.canvas.drawnBox;
  const CanvasRect& canvas = state.canvas.canvas;
  const DecodedPacket& packet = state.last.packet;
  AddText(out, u"stage=%s packets=%u strokes=%u", StageName(state), state.shadow.tally.packets, state.canvas.strokes);
  AddText(out, u" box=%d,%d,%d,%d canvas=%d,%d,%d,%d", box.left, box.top, box.right, box.bottom, canvas.left,
          canvas.top, canvas.right, canvas.bottom);
  AddText(out, u" tablet=%d,%d,%d,%d", state.canvas.tablet.xMin, state.canvas.tablet.yMin, state.canvas.tablet.xMax,
          state.canvas.tablet.yMax);
  AddText(out, u" last=%d,%d,%u,%u proximity=%u repaints=%u", packet.x, packet.y, packet.normalPressure,
          packet.buttons, state.last.inProximity ? 1u : 0u, state.repaints);
  const PenFeed* feed = state.run != nullptr ? &state.run->feed : nullptr;
  AddText(out, u" faults=%u hard=%u", feed != nullptr ? feed->faults.load() : 0u,
          feed != nullptr && feed->hardException.load() ? 1u : 0u);
  AddText(out, u" packet-paints=%u reading-ms=%u latency-median-us=%u", state.packetPaints,
          static_cast<uint32_t>((state.lastReadUs - state.firstReadUs) / 1000u), MedianLatencyUs(state));
  if (state.hung) AddText(out, u" hung=%s", state.hungCall != nullptr ? state.hungCall : u"");
  return out;
}
