#include "report/report_switches.h"

#include "report/dialog_state.h"

void ApplySwitches(const ReportSwitches& switches, DialogState& state) {
  state.safeMode = switches.safeMode;
  state.noNullBuffer = switches.noNullBuffer;
  state.overrideCounts = switches.overrideCounts;
  state.showContextDevice = switches.showContextDevice;
  state.ignoreNullQuery = switches.ignoreNullQuery;
}
