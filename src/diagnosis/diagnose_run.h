// --diagnose for one finished run: the cursor slots asked after a complete
// report, the system looked at, the rules applied.
#pragma once

#include <string>
#include <vector>

#include "diagnosis/cursor_slots.h"
#include "diagnosis/diagnosis.h"
#include "report/report_switches.h"
#include "report/answer_log.h"
#include "report/run_outcome.h"

struct RunDiagnosis {
  std::u16string section;  // written after the report
  std::vector<Finding> findings;  // what the section lists, in table order
  uint32_t problems = 0;
};

// The system around the program now, as the rules read it.
SystemFacts LookAtSystem(const AnswerLog& log);

// The diagnosis's own questions after a complete report (null when the run
// was not complete). A probe whose worker was left behind (`ran` and not
// `ended`) must be given up, not freed: the process then ends without
// waiting for it.
CursorSlotProbe* AskCursorSlots(const AnswerLog& log, const RunOutcome& outcome, bool hung,
                                const ReportSwitches& switches);

// `safeMode`: whether the run's calls were guarded, which decides how a
// fault that ended the report is told.
RunDiagnosis DiagnoseRun(const AnswerLog& log, const RunOutcome& outcome, bool hung, const CursorSlotProbe* slots,
                         const SystemFacts& system, bool safeMode);
