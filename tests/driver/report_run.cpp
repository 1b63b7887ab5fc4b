#include "report_run.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "format/utf8_encoding.h"
#include "report/dialog_state.h"
#include "report/report_driver.h"

std::string RunTest(const char* profile, const TestOptions& options, const char* inject) {
  setenv("PADSCOPE_SIM_PROFILE", profile, 1);
  setenv("PADSCOPE_SIM_INJECT", inject, 1);
  DialogState* state = NewDialogState(nullptr);
  EXPECT_NE(state, nullptr);
  if (state == nullptr) return {};
  ResetReport(*state);
  state->safeMode = options.safeMode;
  state->noNullBuffer = options.noNullBuffer;
  state->overrideCounts = options.overrideCounts;
  state->showContextDevice = options.showContextDevice;
  state->ignoreNullQuery = options.ignoreNullQuery;
  RunReportUnderGuard(*state);
  AppendFinalLineBreak(*state);
  TerminateReport(*state);
  std::string text = ToUtf8(state->ReportText, ReportLength(*state));
  DeleteDialogState(state);
  return text;
}
