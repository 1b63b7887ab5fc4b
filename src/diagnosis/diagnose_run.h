// --diagnose for one finished run: the cursor slots asked after a complete
// report, the system looked at, the rules applied.
#pragma once

#include <string>
#include <vector>

#include "diagnosis/diagnosis.h"

#include "diagnosis/diagnosis.h"
#include "report/report_switches.h"
#include "report/answer_log.h"
#include "report/run_outcome.h"

struct RunDiagnosis {
  std::vector<Finding> findings;
  std::u16string section;  // written after the report
  std::vector<Finding> findings;  // what the section lists, in table order
  uint32_t problems = 0;
  bool workerLeftBehind = false;  // the slot questions hung: the process must end without waiting
};

RunDiagnosis DiagnoseRun(const AnswerLog& log, const RunOutcome& outcome, bool hung, const ReportSwitches& switches);
