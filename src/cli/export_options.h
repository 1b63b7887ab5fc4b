// The options that take a run elsewhere than the text on standard output:
// --record FILE (a tablet profile for the simulated library) and --json.
#pragma once

#include <string>

struct ReportOptions;

// When argv[i] is one of these options, takes it (and its value, moving i
// past it) and returns true; `error` is then set when it is malformed.
bool TakeExportOption(int argc, const char* const* argv, int& i, ReportOptions& options, std::string& error);

// Options that cannot go together, once all are read: a one-line error, or "".
std::string ExportOptionConflict(const ReportOptions& options);
