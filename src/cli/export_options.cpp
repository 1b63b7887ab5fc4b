#include "cli/export_options.h"

#include <cstring>

#include "cli/cli_options.h"

bool TakeExportOption(int argc, const char* const* argv, int& i, ReportOptions& options, std::string& error) {
  const char* argument = argv[i];
  if (std::strcmp(argument, "--json") == 0) {
    options.json = true;
    return true;
  }
  // "--record FILE" or "--record=FILE".
  const char* value = nullptr;
  if (std::strcmp(argument, "--record") == 0) {
    value = i + 1 < argc ? argv[++i] : "";
  } else if (std::strncmp(argument, "--record=", 9) == 0) {
    value = argument + 9;
  } else {
    return false;
  }
  if (!options.recordPath.empty()) {
    error = "padscope-report: --record given twice";
  } else if (value[0] == '\0') {
    error = "padscope-report: --record needs a file name";
  } else {
    options.recordPath = value;
  }
  return true;
}

std::string ExportOptionConflict(const ReportOptions& options) {
  if (options.json && options.utf16) return "padscope-report: --json and --utf16 cannot go together (JSON is UTF-8)";
  return "";
}
