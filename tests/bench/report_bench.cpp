// How long one whole report takes with the simulated library, next to its
// unavoidable floor (clearing the 131072-byte answer buffer before every
// query), and how many heap allocations one report makes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/platform.h"
#include "report/dialog_state.h"
#include "report/report_driver.h"

// Every heap allocation of the process, the library loader's included.
static volatile long allocationCount = 0;
extern "C" void* __libc_malloc(size_t);
extern "C" void* malloc(size_t size) {
  allocationCount = allocationCount + 1;
  return __libc_malloc(size);
}

namespace {

DialogState* state = nullptr;

void UseProfile(const char* profile) { setenv("PADSCOPE_SIM_PROFILE", profile, 1); }

// Queries made by the last report that cleared the answer buffer: rows
// whose value starts with a size echo in column 32, less the availability
// probe, which clears nothing.
long QueriesInReport() {
  long queries = 0;
  const std::u16string_view text(state->ReportText, ReportLength(*state));
  for (size_t at = text.find(u"{"); at != text.npos; at = text.find(u"{", at + 1)) {
    const size_t lineStart = text.rfind(u"\r\n", at);
    if (lineStart != text.npos && at - (lineStart + 2) == 31) ++queries;
  }
  return queries - 1;
}

void RunOneReport() {
  ResetReport(*state);
  state->safeMode = 1;
  state->showContextDevice = 1;
  RunReport(*state);
  AppendFinalLineBreak(*state);
  TerminateReport(*state);
}

void Report(benchmark::State& bench, const char* profile) {
  UseProfile(profile);
  RunOneReport();
  const long queries = QueriesInReport();
  for (auto _ : bench) {
    RunOneReport();
    benchmark::DoNotOptimize(state->ReportText[0]);
  }
  bench.counters["queries"] = static_cast<double>(queries);
  bench.counters["units"] = static_cast<double>(ReportLength(*state));
}

// The floor: one clear of the answer buffer per query of the same report.
void Floor(benchmark::State& bench, const char* profile) {
  UseProfile(profile);
  RunOneReport();
  const long clears = QueriesInReport();
  for (auto _ : bench) {
    for (long i = 0; i < clears; ++i) {
      std::memset(state->queryBuffer, 0, sizeof(state->queryBuffer));
      benchmark::ClobberMemory();
    }
  }
  bench.counters["clears"] = static_cast<double>(clears);
}

void Allocations(benchmark::State& bench, const char* profile) {
  UseProfile(profile);
  RunOneReport();
  long perReport = 0;
  for (auto _ : bench) {
    const long before = allocationCount;
    RunOneReport();
    perReport = allocationCount - before;
  }
  bench.counters["allocations"] = static_cast<double>(perReport);
}

}  // namespace

BENCHMARK_CAPTURE(Report, default_profile, "default")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Floor, default_profile, "default")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Report, large_profile, PADSCOPE_LARGE_PROFILE)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Floor, large_profile, PADSCOPE_LARGE_PROFILE)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Allocations, default_profile, "default")->Iterations(3);

int main(int argc, char** argv) {
  state = NewDialogState(nullptr);
  if (state == nullptr) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  DeleteDialogState(state);
  return 0;
}
