#include "diagnosis/diagnose_run.h"

#include "diagnosis/diagnosis.h"
#include "platform/platform.h"
#include "report/answer_logging.h"
#include "wintab/wintab_binding.h"

namespace {

constexpr uint32_t kPathUnits = 32768;

void KeepVersionValue(void* context, size_t keyIndex, const char16_t* value) {
  auto* system = static_cast<SystemFacts*>(context);
  CopyLoggedText(keyIndex == 0 ? system->otherFileVersion : system->otherCompanyName, value);
}

}  // namespace

SystemFacts LookAtSystem(const AnswerLog& log) {
  // A load or a release that never returned holds the system's loader
  // lock, which the desktop's first question (Wine loads its display driver
  // then) and reading another library's version strings wait for: then
  // neither is asked.
  bool loaderHeld = false;
  for (uint32_t i = 0; i < log.entryCount; ++i) {
    const AnswerLogEntry& entry = log.entries[i];
    loaderHeld = loaderHeld || ((entry.step == LoggedStep::load || entry.step == LoggedStep::release) &&
                                entry.real.state == CallState::underway);
  }
  SystemFacts system;
  if (!loaderHeld) system.desktop = platform::Desktop();
  const LibraryIdentity& library = log.library;
  system.libraryInSystemFolder = library.path.found && platform::InSystemFolder(library.path.text);
  std::u16string path(kPathUnits, u'\0');
  const uint32_t length = platform::OtherEditionLibraryPath(wintab::kLibraryFileName, path.data(), kPathUnits);
  if (length == 0) return system;
  path.resize(length);
  system.otherEditionApplies = true;
  system.otherEditionPath = path;
  system.otherEditionExists = platform::FileExists(path.c_str());
  if (system.otherEditionExists && !loaderHeld) {
    static const char16_t* const keys[] = {u"FileVersion", u"CompanyName"};
    platform::ReadVersionStrings(path.c_str(), keys, 2, &KeepVersionValue, &system);
  }
  return system;
}

CursorSlotProbe* AskCursorSlots(const AnswerLog& log, const RunOutcome& outcome, bool hung,
                                const ReportSwitches& switches) {
  if (hung || outcome.ending != RunEnding::complete) return nullptr;
  const AnswerLogEntry* cursors = facts::Find(log, wintab::WTI_INTERFACE, wintab::IFC_NCURSORS);
  return ProbeCursorSlots(facts::CountOf(log, cursors), switches);
}

RunDiagnosis DiagnoseRun(const AnswerLog& log, const RunOutcome& outcome, bool hung, const CursorSlotProbe* slots,
                         const SystemFacts& system, bool safeMode) {
  // A replay judges the recorded library, not the simulated one that answered.
  AnswerLog judged = log;
  if (system.replayed) {
    judged.library.path = system.libraryPath;
    judged.library.fileVersion = system.libraryFileVersion;
    judged.library.companyName = system.libraryCompanyName;
  }
  RunDiagnosis result;
  result.findings = Diagnose(DiagnosisInput{judged, outcome, hung, slots, system, safeMode});
  result.section = DiagnosisSection(result.findings);
  result.problems = ProblemCount(result.findings);
  return result;
}
