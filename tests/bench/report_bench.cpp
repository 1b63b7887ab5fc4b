// How long one whole report takes with the simulated library, next to what
// a report cannot avoid on this platform, timed part by part in the same
// run: clearing the 131072-byte answer buffer before every query, loading
// and releasing the same library once, and reading the version strings of
// the system and of the library. Also how many heap allocations one report
// makes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

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

// Floor, part 1: one clear of the answer buffer per query of the same report.
void Clears(benchmark::State& bench, const char* profile) {
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

// Floor, part 2: one load and one release of the library, as a report
// makes them (nothing else holds it, so each load maps it anew).
void LoadRelease(benchmark::State& bench) {
  for (auto _ : bench) {
    platform::LibraryHandle library = platform::LoadLibraryNamed(wintab::kLibraryFileName);
    if (library == nullptr) {
      bench.SkipWithError("WINTAB32.DLL did not load");
      break;
    }
    platform::ReleaseLibrary(library);
  }
}

void IgnoreValue(void*, size_t, const char16_t* value) { benchmark::DoNotOptimize(value[0]); }

// Floor, part 3: the version strings a report reads: the system library's
// product version and the loaded library's file version and company, each
// found through its file name.
void VersionReads(benchmark::State& bench) {
  platform::LibraryHandle library = platform::LoadLibraryNamed(wintab::kLibraryFileName);
  if (library == nullptr) {
    bench.SkipWithError("WINTAB32.DLL did not load");
    return;
  }
  static const char16_t* const systemKeys[] = {u"ProductVersion"};
  static const char16_t* const libraryKeys[] = {u"FileVersion", u"CompanyName"};
  char16_t systemPath[261];
  auto* libraryPath = reinterpret_cast<char16_t*>(state->queryBuffer);
  const uint32_t libraryPathUnits = sizeof(state->queryBuffer) / sizeof(char16_t);
  for (auto _ : bench) {
    if (platform::SystemLibraryFileName(systemPath, 260) != 0) {
      platform::ReadVersionStrings(systemPath, systemKeys, 1, &IgnoreValue, nullptr);
    }
    if (platform::LibraryFileName(library, libraryPath, libraryPathUnits) != 0) {
      platform::ReadVersionStrings(libraryPath, libraryKeys, 2, &IgnoreValue, nullptr);
    }
  }
  platform::ReleaseLibrary(library);
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
BENCHMARK_CAPTURE(Clears, default_profile, "default")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Report, large_profile, PADSCOPE_LARGE_PROFILE)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Clears, large_profile, PADSCOPE_LARGE_PROFILE)->Unit(benchmark::kMicrosecond);
BENCHMARK(LoadRelease)->Unit(benchmark::kMicrosecond);
BENCHMARK(VersionReads)->Unit(benchmark::kMicrosecond);
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
