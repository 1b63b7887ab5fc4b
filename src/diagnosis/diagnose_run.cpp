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

SystemFacts LookAtSystem(const AnswerLog& log) {
  SystemFacts system;
  system.desktop = platform::Desktop();
  const LibraryIdentity& library = log.library;
  system.libraryInSystemFolder = library.path.found && platform::InSystemFolder(library.path.text);
  std::u16string path(kPathUnits, u'\0');
  const uint32_t length = platform::OtherEditionLibraryPath(wintab::kLibraryFileName, path.data(), kPathUnits);
  if (length == 0) return system;
  path.resize(length);
  system.otherEditionApplies = true;
  system.otherEditionPath = path;
  system.otherEditionExists = platform::FileExists(path.c_str());
  if (system.otherEditionExists) {
    static const char16_t* const keys[] = {u"FileVersion", u"CompanyName"};
    platform::ReadVersionStrings(path.c_str(), keys, 2, &KeepVersionValue, &system);
  }
  return system;
}

}  // namespace

RunDiagnosis DiagnoseRun(const AnswerLog& log, const RunOutcome& outcome, bool hung, const ReportSwitches& switches) {
  RunDiagnosis result;
  CursorSlotProbe* slots = nullptr;
  if (!hung && outcome.ending == RunEnding::complete) {
    const AnswerLogEntry* cursors = facts::Find(log, wintab::WTI_INTERFACE, wintab::IFC_NCURSORS);
    slots = ProbeCursorSlots(facts::CountOf(log, cursors), switches);
    result.workerLeftBehind = slots != nullptr && slots->ran && !slots->ended;
  }
  const SystemFacts system = LookAtSystem(log);
  result.findings = Diagnose(DiagnosisInput{log, outcome, hung, slots, system});
  result.section = DiagnosisSection(result.findings);
  result.problems = ProblemCount(result.findings);
  if (!result.workerLeftBehind) delete slots;  // a stuck worker may still write into it
  return result;
}
