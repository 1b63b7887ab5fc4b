// The pen session at the rate of the fastest tablets: the simulated library
// plays PACKETS packets 1 ms apart, the session reads them, and this prints
// the packets read against those sent, the time from each packet's arrival
// (when the library made it ready) to its event, and the CPU time per
// packet.
//
//   pen_bench PROFILE_FILE PACKETS SECONDS
//
// The library's clock starts when WTOpenW opens the context enabled, at a
// whole millisecond of the monotonic clock, and packet n (pkTime n ms after
// the first) is ready once n whole milliseconds have passed; so it arrives
// at the start of millisecond (opened + n), in the same clock. Its event is
// told on the session's worker, timed here.
#include <sys/resource.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "pen/pen_session.h"
#include "run/watched_run.h"

namespace {

double NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Timing {
  double openedMs = 0;  // the whole millisecond the library's clock started in
  bool open = false;
  uint32_t firstTime = 0;
  bool haveFirst = false;
  std::vector<double> latenciesMs;
};

void Time(void* context, const PenSession& session, const PenEvent& event) {
  auto& timing = *static_cast<Timing*>(context);
  const double now = NowMs();
  if (event.kind == PenEventKind::contextOpened) {
    timing.openedMs = static_cast<double>(static_cast<uint64_t>(now));
    timing.open = session.context != nullptr;
  }
  if (event.kind != PenEventKind::packet || !timing.open) return;
  if (!timing.haveFirst) {
    timing.firstTime = event.packet->time;
    timing.haveFirst = true;
  }
  const double arrived = timing.openedMs + (event.packet->time - timing.firstTime);
  timing.latenciesMs.push_back(now - arrived);
}

void NoPoll(void*) {}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: pen_bench PROFILE_FILE PACKETS SECONDS\n");
    return 2;
  }
  setenv("PADSCOPE_SIM_PROFILE", argv[1], 1);
  const auto sent = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  PenSettings settings;
  settings.seconds = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  Timing timing;
  timing.latenciesMs.reserve(sent);
  PenSession* session = NewPenSession(settings, &Time, &timing);
  if (session == nullptr) return 1;
  const double cpuBefore = CpuSeconds();
  if (!RunWatchedWork(&RunPenSession, session, session->progress, &NoPoll, nullptr)) {
    std::fprintf(stderr, "pen_bench: a call hung\n");
    std::_Exit(1);
  }
  const double cpu = CpuSeconds() - cpuBefore;
  std::vector<double>& latencies = timing.latenciesMs;
  std::sort(latencies.begin(), latencies.end());
  const auto at = [&](double share) {
    return latencies.empty() ? 0.0 : latencies[static_cast<size_t>(share * (latencies.size() - 1))];
  };
  std::printf("packets sent %u read %u lost %u\n", sent, session->tally.packets,
              sent > session->tally.packets ? sent - session->tally.packets : 0);
  std::printf("arrival to event ms median %.2f p90 %.2f max %.2f\n", at(0.5), at(0.9), at(1.0));
  std::printf("cpu us per packet %.1f\n", session->tally.packets ? cpu * 1e6 / session->tally.packets : 0.0);
  DeletePenSession(session);
  return 0;
}
