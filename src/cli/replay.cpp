#include "cli/replay.h"

#include <cstdlib>
#include <vector>

#include "cli/export_options.h"
#include "cli/report_outcome.h"
#include "exports/recording_format.h"
#include "format/utf8_encoding.h"
#include "platform/platform.h"
#include "report/answer_logging.h"
#include "report/library_calls.h"

namespace {

constexpr char kProfileVariable[] = "PADSCOPE_SIM_PROFILE";
constexpr char kInjectVariable[] = "PADSCOPE_SIM_INJECT";
constexpr char kLoaderHangVariable[] = "PADSCOPE_SIM_LOADER_HANG";
constexpr uint32_t kPathUnits = 32768;

#ifdef _WIN32
constexpr char16_t kSimulatedLibrary[] = u"sim\\WINTAB32.DLL";
#else
constexpr char16_t kSimulatedLibrary[] = u"sim/WINTAB32.DLL";
#endif

using RecordingErrorEntry = const char* (*)();
using RecordedEntry = const char16_t* (*)(const char* key);

// Asked of the simulated library under the guard, as every call into it.
struct Question {
  RecordedEntry recorded;
  const char* key;
  const char16_t* answer;
};
void Ask(void* argument) {
  auto* question = static_cast<Question*>(argument);
  question->answer = question->recorded(question->key);
}
struct ErrorQuestion {
  RecordingErrorEntry entry;
  const char* answer;
};
void AskError(void* argument) {
  auto* question = static_cast<ErrorQuestion*>(argument);
  question->answer = question->entry();
}

// The simulated library's file: sim/WINTAB32.DLL in the program's folder.
std::u16string SimulatedLibraryPath() {
  std::u16string path(kPathUnits, u'\0');
  uint32_t length = platform::LibraryFileName(nullptr, path.data(), kPathUnits);
  if (length == 0 || length >= kPathUnits) return kSimulatedLibrary;
  while (length > 0 && path[length - 1] != u'/' && path[length - 1] != u'\\') --length;
  path.resize(length);
  return path + kSimulatedLibrary;
}

struct RecordedFacts {
  RecordedEntry entry;
  bool Has(const char* key) { return Text(key) != nullptr; }
  const char16_t* Text(const char* key) {
    Question question{entry, key, nullptr};
    return platform::RunGuarded(&Ask, &question).faulted ? nullptr : question.answer;
  }
  std::u16string Value(const char* key) {
    const char16_t* text = Text(key);
    return text != nullptr ? std::u16string(text) : std::u16string();
  }
  bool Yes(const char* key) { return Value(key) == u"yes"; }
  // A text fact; "none" was written for a text the machine did not have.
  void Keep(const char* key, LoggedText& into) {
    const std::u16string value = Value(key);
    into.found = false;
    if (Has(key) && value != u"none") CopyLoggedText(into, value.c_str());
  }
};

SystemFacts ReadSystem(RecordedFacts& facts) {
  SystemFacts system;
  system.replayed = true;
  const std::string desktop = [&facts] {
    const std::u16string value = facts.Value(recorded::kDesktop);
    return ToUtf8(value.data(), value.size());
  }();
  long numbers[4] = {};
  const char* at = desktop.c_str();
  for (long& number : numbers) {
    char* end = nullptr;
    number = std::strtol(at, &end, 10);
    at = end;
  }
  system.desktop = platform::DesktopBounds{static_cast<int32_t>(numbers[0]), static_cast<int32_t>(numbers[1]),
                                           static_cast<int32_t>(numbers[2]), static_cast<int32_t>(numbers[3])};
  facts.Keep(recorded::kLibraryPath, system.libraryPath);
  system.libraryInSystemFolder = facts.Yes(recorded::kInSystemFolder);
  facts.Keep(recorded::kLibraryFileVersion, system.libraryFileVersion);
  facts.Keep(recorded::kLibraryCompanyName, system.libraryCompanyName);
  const std::u16string other = facts.Value(recorded::kOtherEdition);
  system.otherEditionApplies = facts.Has(recorded::kOtherEdition) && other != u"none";
  if (system.otherEditionApplies) {
    system.otherEditionPath = other;
    system.otherEditionExists = facts.Yes(recorded::kOtherExists);
    facts.Keep(recorded::kOtherFileVersion, system.otherFileVersion);
    facts.Keep(recorded::kOtherCompanyName, system.otherCompanyName);
  }
  return system;
}

// The recorded options, unless the command line gave some of the test's own.
bool TakeRecordedOptions(const std::u16string& recorded, ReportOptions& options, std::string& error) {
  const ReportOptions plain;
  const bool given = options.safeMode != plain.safeMode || options.noNullBuffer != plain.noNullBuffer ||
                     options.overrideCounts != plain.overrideCounts ||
                     options.showContextDevice != plain.showContextDevice ||
                     options.ignoreNullQuery != plain.ignoreNullQuery || options.penCheck || options.diagnose;
  if (given) return true;
  std::vector<std::string> words{"padscope-report"};
  const std::string text = ToUtf8(recorded.data(), recorded.size());
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find(' ', at) == std::string::npos ? text.size() : text.find(' ', at);
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  const ParsedCommandLine parsed = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  if (parsed.action != CliAction::RunTest) {
    error = "the recorded options are not the program's: " + text;
    return false;
  }
  static_cast<ReportSwitches&>(options) = parsed.options;
  options.penCheck = parsed.options.penCheck;
  options.penSeconds = parsed.options.penSeconds;
  options.penWindow = parsed.options.penWindow;
  options.diagnose = parsed.options.diagnose;
  error = ExportOptionConflict(options);
  return error.empty();
}

}  // namespace

bool PrepareReplay(ReportOptions& options, Replay& replay, std::string& error, int& exitCode) {
  // Kept for the whole process: every load of the library reads it.
  static const std::u16string library = SimulatedLibraryPath();
  const std::string prefix = "padscope-report: --replay: ";
  exitCode = kExitUsage;
  // The recording alone decides how the library behaves, and this first
  // look into it must not hang where the recorded library did.
  platform::SetProcessVariable(kProfileVariable, options.replayPath.c_str());
  platform::SetProcessVariable(kInjectVariable, nullptr);
  platform::SetProcessVariable(kLoaderHangVariable, "check");
  const platform::LibraryHandle handle = platform::LoadLibraryApart(library.c_str());
  if (handle == nullptr) {
    error = prefix + "the simulated library " + ToUtf8(library.data(), library.size()) +
            " could not be loaded (error " + std::to_string(platform::LastErrorCode()) + ")";
    exitCode = kExitNoLibrary;
    return false;
  }
  ErrorQuestion problem{reinterpret_cast<RecordingErrorEntry>(platform::FindEntryPoint(handle, "PadscopeSimRecordingError")),
                        nullptr};
  RecordedFacts facts{reinterpret_cast<RecordedEntry>(platform::FindEntryPoint(handle, "PadscopeSimRecorded"))};
  bool ready = problem.entry != nullptr && facts.entry != nullptr;
  if (!ready) {
    // Wine loads its own wintab32 for any file of that name unless told
    // to prefer the native one.
    error = prefix + "the library loaded from " + ToUtf8(library.data(), library.size()) +
            " is not the simulated one (under Wine: WINEDLLOVERRIDES=wintab32=n,b)";
    exitCode = kExitNoLibrary;
  } else if (platform::RunGuarded(&AskError, &problem).faulted || problem.answer == nullptr) {
    error = prefix + "the simulated library failed to read " + options.replayPath;
    ready = false;
  } else if (problem.answer[0] != '\0') {
    error = prefix + problem.answer;
    ready = false;
  } else {
    replay.recordedSystem = facts.Has(recorded::kDesktop);
    if (replay.recordedSystem) replay.system = ReadSystem(facts);
    std::string optionsError;
    if (facts.Has("options") && !TakeRecordedOptions(facts.Value("options"), options, optionsError)) {
      error = prefix + optionsError;
      ready = false;
    }
  }
  platform::ReleaseLibrary(handle);
  platform::SetProcessVariable(kLoaderHangVariable, nullptr);
  if (ready) LoadLibraryFrom(library.c_str());
  return ready;
}
