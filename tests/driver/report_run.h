// Runs one whole test in-process, as the worker does: the report under the
// outermost guard, then the final line break. The simulated library found
// through LD_LIBRARY_PATH answers from the profile named here.
#pragma once

#include <string>

struct TestOptions {
  bool safeMode = true;
  bool noNullBuffer = false;
  bool overrideCounts = false;
  bool showContextDevice = true;
  bool ignoreNullQuery = false;
};

// profile: PADSCOPE_SIM_PROFILE; inject: PADSCOPE_SIM_INJECT ("" for none).
// Returns the finished report as UTF-8, CR LF line ends unchanged.
std::string RunTest(const char* profile, const TestOptions& options, const char* inject = "");
