#include "cli/export_options.h"

#include <cstring>

#include "cli/cli_options.h"

bool TakeExportOption(int argc, const char* const* argv, int& i, ReportOptions& options, std::string& error) {
  const char* argument = argv[i];
  if (std::strcmp(argument, "--json") == 0) {
    options.json = true;
    return true;
  }
  // "--record FILE" or "--record=FILE"; the same for --replay.
  struct FileOption {
    const char* name;
    std::string ReportOptions::*path;
  };
  static const FileOption kFileOptions[] = {{"--record", &ReportOptions::recordPath},
                                            {"--replay", &ReportOptions::replayPath}};
  for (const FileOption& option : kFileOptions) {
    const size_t length = std::strlen(option.name);
    const char* value = nullptr;
    if (std::strcmp(argument, option.name) == 0) {
      value = i + 1 < argc ? argv[++i] : "";
    } else if (std::strncmp(argument, option.name, length) == 0 && argument[length] == '=') {
      value = argument + length + 1;
    } else {
      continue;
    }
    if (!(options.*option.path).empty()) {
      error = std::string("padscope-report: ") + option.name + " given twice";
    } else if (value[0] == '\0') {
      error = std::string("padscope-report: ") + option.name + " needs a file name";
    } else {
      options.*option.path = value;
    }
    return true;
  }
  return false;
}

std::string ExportOptionConflict(const ReportOptions& options) {
  if (options.json && options.utf16) return "padscope-report: --json and --utf16 cannot go together (JSON is UTF-8)";
  return "";
}
