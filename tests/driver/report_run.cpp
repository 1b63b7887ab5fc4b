#include "report_run.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"
#include "report/dialog_state.h"
#include "report/report_driver.h"

namespace {

std::string ToUtf8(const char16_t* text, size_t length) {
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    const char16_t unit = text[i];
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return out;
}

void RunReportThunk(void* argument) { RunReport(*static_cast<DialogState*>(argument)); }

}  // namespace

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
  if (platform::RunGuarded(&RunReportThunk, state).faulted) AppendEnding(*state, u"<hard exception>");
  AppendFinalLineBreak(*state);
  TerminateReport(*state);
  std::string text = ToUtf8(state->ReportText, ReportLength(*state));
  DeleteDialogState(state);
  return text;
}
