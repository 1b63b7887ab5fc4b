// The report driver: the whole fixed sequence of one test, from the header
// to the release of WINTAB32.DLL.
#pragma once

struct DialogState;

// Writes the whole report of one test into state's report text. On entry the
// text has been reset and the option flags are set; on return the text is
// complete up to its last line (the final CR LF and terminator are added by
// the end of the test). Records how it ended in state.outcome (a run that
// is stopped inside a call stays "running"). Runs on the worker thread.
void RunReport(DialogState& state);

// RunReport under the guard that catches whatever escapes it, as a test's
// worker runs it: such a fault ends the text with "<hard exception>" and the
// outcome with RunEnding::hardException and the fault's code.
void RunReportUnderGuard(DialogState& state);

// "PADSCOPE x86 - 2.6.1.0" in 32-bit builds, "PADSCOPE x64 - 2.6.1.0" in 64-bit ones.
extern const char16_t kReportHeader[];
extern const char16_t kCopyrightNotice[];
