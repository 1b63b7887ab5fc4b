#include "cli/replay.h"

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

// The simulated library's file: sim/WINTAB32.DLL in the program's folder.
// Kept for the whole process: every load of the library reads it.
char16_t libraryPath[kPathUnits];

void FindSimulatedLibrary() {
  constexpr uint32_t kNameUnits = sizeof(kSimulatedLibrary) / sizeof(char16_t);
  uint32_t length = platform::LibraryFileName(nullptr, libraryPath, kPathUnits);
  if (length >= kPathUnits - kNameUnits) length = 0;
  while (length > 0 && libraryPath[length - 1] != u'/' && libraryPath[length - 1] != u'\\') --length;
  for (uint32_t k = 0; k < kNameUnits; ++k) libraryPath[length + k] = kSimulatedLibrary[k];
}

bool Same(const char16_t* text, const char16_t* other) {
  while (*text != 0 && *text == *other) ++text, ++other;
  return *text == *other;
}

// Asked of the simulated library under the guard, as every call into it.
using RecordingErrorEntry = const char* (*)();
using RecordedEntry = const char16_t* (*)(const char* key);
struct Question {
  RecordingErrorEntry error;
  RecordedEntry recorded;
  const char* key;
  const char* errorAnswer;
  const char16_t* answer;
};
void Ask(void* argument) {
  auto* question = static_cast<Question*>(argument);
  if (question->key == nullptr) {
    question->errorAnswer = question->error();
  } else {
    question->answer = question->recorded(question->key);
  }
}

// A recorded fact, or null.
const char16_t* Fact(Question& question, const char* key) {
  question.key = key;
  question.answer = nullptr;
  return platform::RunGuarded(&Ask, &question).faulted ? nullptr : question.answer;
}
bool Yes(Question& question, const char* key) {
  const char16_t* value = Fact(question, key);
  return value != nullptr && Same(value, u"yes");
}
// A text fact; "none" was written for a text the machine did not have.
void Keep(Question& question, const char* key, LoggedText& into) {
  const char16_t* value = Fact(question, key);
  into.found = false;
  if (value != nullptr && !Same(value, u"none")) CopyLoggedText(into, value);
}

void ReadSystem(Question& question, SystemFacts& system) {
  system.replayed = true;
  const char16_t* desktop = Fact(question, recorded::kDesktop);
  int32_t numbers[4] = {};
  for (int32_t& number : numbers) {
    while (desktop != nullptr && *desktop == u' ') ++desktop;
    const bool negative = desktop != nullptr && *desktop == u'-';
    if (negative) ++desktop;
    while (desktop != nullptr && *desktop >= u'0' && *desktop <= u'9') number = number * 10 + (*desktop++ - u'0');
    if (negative) number = -number;
  }
  system.desktop = platform::DesktopBounds{numbers[0], numbers[1], numbers[2], numbers[3]};
  Keep(question, recorded::kLibraryPath, system.libraryPath);
  system.libraryInSystemFolder = Yes(question, recorded::kInSystemFolder);
  Keep(question, recorded::kLibraryFileVersion, system.libraryFileVersion);
  Keep(question, recorded::kLibraryCompanyName, system.libraryCompanyName);
  const char16_t* other = Fact(question, recorded::kOtherEdition);
  system.otherEditionApplies = other != nullptr && !Same(other, u"none");
  if (!system.otherEditionApplies) return;
  system.otherEditionPath = other;
  system.otherEditionExists = Yes(question, recorded::kOtherExists);
  Keep(question, recorded::kOtherFileVersion, system.otherFileVersion);
  Keep(question, recorded::kOtherCompanyName, system.otherCompanyName);
}

// The recorded options (words of ASCII), unless the command line gave some
// of the test's own.
bool TakeRecordedOptions(const char16_t* recorded, ReportOptions& options, std::string& error) {
  const ReportOptions plain;
  const bool given = options.safeMode != plain.safeMode || options.noNullBuffer != plain.noNullBuffer ||
                     options.overrideCounts != plain.overrideCounts ||
                     options.showContextDevice != plain.showContextDevice ||
                     options.ignoreNullQuery != plain.ignoreNullQuery || options.penCheck || options.diagnose;
  if (given) return true;
  static char words[512];
  const char* argv[32] = {"padscope-report"};
  int argc = 1;
  size_t at = 0;
  for (; recorded[at] != 0 && at + 1 < sizeof(words) && argc < 32; ++at) {
    words[at] = recorded[at] == u' ' ? '\0' : static_cast<char>(recorded[at]);
    if (words[at] != '\0' && (at == 0 || words[at - 1] == '\0')) argv[argc++] = &words[at];
  }
  words[at] = '\0';
  const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
  if (parsed.action != CliAction::RunTest || recorded[at] != 0) {
    error = "padscope-report: --replay: the recorded options are not this program's";
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
  FindSimulatedLibrary();
  const std::string library = ToUtf8(libraryPath, std::char_traits<char16_t>::length(libraryPath));
  error = "padscope-report: --replay: ";
  exitCode = kExitUsage;
  // The recording alone decides how the library behaves, and this first
  // look into it must not hang where the recorded library did.
  platform::SetProcessVariable(kProfileVariable, options.replayPath.c_str());
  platform::SetProcessVariable(kInjectVariable, nullptr);
  platform::SetProcessVariable(kLoaderHangVariable, "check");
  const platform::LibraryHandle handle = platform::LoadLibraryApart(libraryPath);
  if (handle == nullptr) {
    error += "the simulated library " + library + " could not be loaded";
    exitCode = kExitNoLibrary;
    return false;
  }
  Question question{reinterpret_cast<RecordingErrorEntry>(platform::FindEntryPoint(handle, "PadscopeSimRecordingError")),
                    reinterpret_cast<RecordedEntry>(platform::FindEntryPoint(handle, "PadscopeSimRecorded")), nullptr,
                    nullptr, nullptr};
  bool ready = false;
  if (question.error == nullptr || question.recorded == nullptr) {
    // Wine loads its own wintab32 for any file of that name unless told
    // to prefer the native one.
    error += "the library loaded from " + library + " is not the simulated one (under Wine: WINEDLLOVERRIDES=wintab32=n,b)";
    exitCode = kExitNoLibrary;
  } else if (platform::RunGuarded(&Ask, &question).faulted || question.errorAnswer == nullptr) {
    error += "the simulated library failed to read " + options.replayPath;
  } else if (question.errorAnswer[0] != '\0') {
    error += question.errorAnswer;
  } else {
    replay.recordedSystem = Fact(question, recorded::kDesktop) != nullptr;
    if (replay.recordedSystem) ReadSystem(question, replay.system);
    const char16_t* recordedOptions = Fact(question, "options");
    ready = recordedOptions == nullptr || TakeRecordedOptions(recordedOptions, options, error);
  }
  platform::ReleaseLibrary(handle);
  platform::SetProcessVariable(kLoaderHangVariable, nullptr);
  if (ready) LoadLibraryFrom(libraryPath);
  return ready;
}
