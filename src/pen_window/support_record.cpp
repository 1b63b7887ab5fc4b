#include "pen_window/support_record.h"

#include "exports/answer_record.h"
#include "pen_window/pen_run.h"
#include "report/dialog_state.h"

bool RecordForSupport(const PenRun& run, bool hung, std::string& profile, std::string& error) {
  return RecordProfile(run.log, run.report->outcome, hung, run.switches, profile, error);
}
