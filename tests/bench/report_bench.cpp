// How long one whole report takes with the simulated library, next to what
// a report cannot avoid on this platform, timed part by part in the same
// run: clearing the 131072-byte answer buffer before every query, loading
// and releasing the same library once, and reading the version strings of
// the system and of the library. Also how many heap allocations one report
// makes.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "report/dialog_state.h"
#include "report/report_driver.h"
#include "wintab/wintab_binding.h"

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

// The CPU time of this thread: on a shared machine the wall clock mostly
// measures the wait for a free core. The report runs on one thread, and the
// simulated library answers on it.
double ThreadMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return 1e6 * static_cast<double>(now.tv_sec) + 1e-3 * static_cast<double>(now.tv_nsec);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void IgnoreValue(void*, size_t, const char16_t* value) { benchmark::DoNotOptimize(value[0]); }

// The version strings a report reads: the system library's product version
// and the loaded library's file version and company, each found through its
// file name.
void ReadTheVersions(platform::LibraryHandle library) {
  static const char16_t* const systemKeys[] = {u"ProductVersion"};
  static const char16_t* const libraryKeys[] = {u"FileVersion", u"CompanyName"};
  char16_t systemPath[261] = {};
  if (platform::SystemLibraryFileName(systemPath, 260) != 0) {
    platform::ReadVersionStrings(systemPath, systemKeys, 1, &IgnoreValue, nullptr);
  }
  auto* libraryPath = reinterpret_cast<char16_t*>(state->queryBuffer);
  if (platform::LibraryFileName(library, libraryPath, sizeof(state->queryBuffer) / sizeof(char16_t)) != 0) {
    platform::ReadVersionStrings(libraryPath, libraryKeys, 2, &IgnoreValue, nullptr);
  }
}

// One whole report, then each part of what it cannot avoid: a clear of the
// answer buffer per query of the same report, one load and one release of
// the same library (nothing else holds it), and the version reads. Report
// and floor are timed in turns, so that both meet the same machine; the
// figures are the medians over the iterations, the ratio the median of the
// ratios of each turn.
void ReportAndFloor(benchmark::State& bench, const char* profile) {
  UseProfile(profile);
  RunOneReport();
  const long clears = QueriesInReport();
  std::vector<double> report, clear, loadRelease, versions, ratio;
  for (auto _ : bench) {
    const double start = ThreadMicroseconds();
    RunOneReport();
    benchmark::DoNotOptimize(state->ReportText[0]);
    const double reported = ThreadMicroseconds();
    for (long i = 0; i < clears; ++i) {
      std::memset(state->queryBuffer, 0, sizeof(state->queryBuffer));
      benchmark::ClobberMemory();
    }
    const double cleared = ThreadMicroseconds();
    platform::LibraryHandle library = platform::LoadLibraryNamed(wintab::kLibraryFileName);
    if (library == nullptr) {
      bench.SkipWithError("WINTAB32.DLL did not load");
      break;
    }
    const double loaded = ThreadMicroseconds();
    ReadTheVersions(library);
    const double read = ThreadMicroseconds();
    platform::ReleaseLibrary(library);
    const double released = ThreadMicroseconds();
    report.push_back(reported - start);
    clear.push_back(cleared - reported);
    loadRelease.push_back((loaded - cleared) + (released - read));
    versions.push_back(read - loaded);
    ratio.push_back((reported - start) / (released - reported));
  }
  bench.counters["queries"] = static_cast<double>(clears);
  bench.counters["report_us"] = Median(report);
  bench.counters["clears_us"] = Median(clear);
  bench.counters["load_release_us"] = Median(loadRelease);
  bench.counters["versions_us"] = Median(versions);
  bench.counters["ratio"] = Median(ratio);
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

BENCHMARK_CAPTURE(ReportAndFloor, default_profile, "default")->Iterations(400);
BENCHMARK_CAPTURE(ReportAndFloor, large_profile, PADSCOPE_LARGE_PROFILE)->Iterations(40);
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
