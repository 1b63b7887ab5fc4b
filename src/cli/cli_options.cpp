#include "cli/cli_options.h"

#include <cstring>

#include "cli/export_options.h"
#include "version/version.h"

const char kUsageText[] =
    "Usage: padscope-report [options]\n"
    "Loads WINTAB32.DLL, asks it everything it knows and writes the report\n"
    "to standard output (UTF-8, CR LF line ends).\n"
    "\n"
    "Options (the dialog's check boxes, with the dialog's defaults):\n"
    "  --no-safe-mode       do not guard calls into the library (\"Safe Mode\" off)\n"
    "  --no-null-buffer     no size probe with a null buffer (\"No null-buffer\")\n"
    "  --override-counts    report device 0 and cursor 0 when the counts are 0\n"
    "                       (\"Override IFC_NDEVICES\")\n"
    "  --no-context-device  do not add the system context's device\n"
    "                       (\"Display CTX device\" off)\n"
    "  --ignore-probe       go on when WTInfo(0,0,0) answers 0\n"
    "                       (\"Ignore WTInfo(0,0,0)\")\n"
    "  --utf16              write the report as UTF-16LE instead of UTF-8\n"
    "  --pen[=SECONDS], --pen SECONDS\n"
    "                       after the report, open a context on the default\n"
    "                       digitizing context and print every packet the pen\n"
    "                       sends for SECONDS (default 10, at most 86400;\n"
    "                       Ctrl+C ends it early), then a summary\n"
    "  --pen-window         (Windows) show the pen check's window over the whole\n"
    "                       screen instead of hiding it, for libraries that send\n"
    "                       packets only to a window under the pen (Wine's own)\n"
    "  --diagnose           after the report, the findings about the library: one\n"
    "                       line each (problem, warning or note, an identifier,\n"
    "                       what goes wrong and what to do, the rows it rests on)\n"
    "                       and a line with the counts\n"
    "  --json               write the run as one JSON document (UTF-8) instead:\n"
    "                       every call into the library, its answer and its row,\n"
    "                       and the findings and the pen check when asked\n"
    "  --record FILE, --record=FILE\n"
    "                       also write the whole run to FILE (every answer, the\n"
    "                       pen's packets, the options, what --diagnose read of\n"
    "                       this machine), to send with a bug report; written\n"
    "                       completely or not at all. FILE is a new name in an\n"
    "                       existing folder or a file you may write (a link: its\n"
    "                       target); a folder, a device or a pipe is refused\n"
    "                       before anything runs\n"
    "  --replay FILE, --replay=FILE\n"
    "                       run the test against a recording (or a tablet profile):\n"
    "                       the simulated WINTAB32.DLL in sim/ beside this program\n"
    "                       answers as the recorded library did; the recording's\n"
    "                       options unless others are given\n"
    "  -h, --help           show this text\n"
    "  --version            show the version\n"
    "\n"
    "Exit codes:\n"
    "  0  the report is complete\n"
    "  1  an output could not be written (standard output, or FILE after the run:\n"
    "     a full disk, or a run too large to record); an error line says which\n"
    "  2  a bad command line, a FILE that cannot be written or a --replay FILE\n"
    "     that cannot be read; nothing was run\n"
    "  3  the library could not be loaded or has no WTInfoW\n"
    "  4  the availability probe WTInfo(0,0,0) answered 0 (and was not ignored)\n"
    "  5  the report ended in <hung>\n"
    "  6  the report ended in <hard exception>\n"
    "  7  one or more rows read <exception> (or a pen check call faulted or\n"
    "     answered against the rules)\n"
    "  8  --diagnose: the report is complete, and at least one finding is a problem\n"
    "  9  --pen: the library lacks WTOpenW, WTEnable, WTPacketsGet or WTClose\n"
    "     (or could not be loaded)\n"
    " 10  --pen: the default context could not be read or WTOpenW opened none\n"
    " 11  --pen: no pen input to judge: no packets came, or the pen only hovered\n"
    " 12  --pen: a pressure problem (none in the packets, stuck, not released\n"
    "     after the tip lifted, or only a small share of the range reached)\n"
    "When several apply, the most severe wins, in this order:\n"
    "  1, 5, 6, 3, 4, 7, 9, 10, 8, 11, 12, 0.\n";

const char kVersionText[] = "padscope-report " PADSCOPE_VERSION_TEXT "\n";

namespace {

struct Switch {
  const char* name;
  bool ReportOptions::*field;
  bool value;
};

constexpr Switch kSwitches[] = {
    {"--no-safe-mode", &ReportOptions::safeMode, false},
    {"--no-null-buffer", &ReportOptions::noNullBuffer, true},
    {"--override-counts", &ReportOptions::overrideCounts, true},
    {"--no-context-device", &ReportOptions::showContextDevice, false},
    {"--ignore-probe", &ReportOptions::ignoreNullQuery, true},
    {"--utf16", &ReportOptions::utf16, true},
    {"--pen-window", &ReportOptions::penWindow, true},
    {"--diagnose", &ReportOptions::diagnose, true},
};

// "--pen", "--pen=SECONDS" or "--pen SECONDS" (the next argument is the
// duration when it starts with a digit); true when the argument is one of
// them (a bad duration then fails the command line).
bool TakePenOption(int argc, const char* const* argv, int& i, ParsedCommandLine& parsed) {
  const char* argument = argv[i];
  if (std::strncmp(argument, "--pen", 5) != 0 || (argument[5] != 0 && argument[5] != '=')) return false;
  parsed.options.penCheck = true;
  const char* digits = nullptr;
  if (argument[5] == '=') {
    digits = argument + 6;
  } else if (i + 1 < argc && argv[i + 1][0] >= '0' && argv[i + 1][0] <= '9') {
    digits = argv[++i];
  } else {
    return true;
  }
  uint64_t seconds = 0;
  bool valid = *digits != 0;
  for (const char* c = digits; valid && *c != 0; ++c) {
    valid = *c >= '0' && *c <= '9';
    seconds = seconds * 10 + static_cast<uint64_t>(*c - '0');
    valid = valid && seconds <= kMaxPenSeconds;
  }
  if (!valid) {
    parsed.action = CliAction::Fail;
    parsed.error = std::string("padscope-report: bad duration in '") + (argument[5] == '=' ? argument : digits) +
                   "' (whole seconds, 0 to " + std::to_string(kMaxPenSeconds) + ")";
    return true;
  }
  parsed.options.penSeconds = static_cast<uint32_t>(seconds);
  return true;
}

// Every error of the command line points to the help.
ParsedCommandLine Failed(ParsedCommandLine parsed, const std::string& error) {
  parsed.action = CliAction::Fail;
  parsed.error = error + "; try 'padscope-report --help'";
  return parsed;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
  ParsedCommandLine parsed;
  bool help = false;
  bool version = false;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
      help = true;
      continue;
    }
    if (std::strcmp(argument, "--version") == 0) {
      version = true;
      continue;
    }
    if (TakePenOption(argc, argv, i, parsed)) {
      if (parsed.action == CliAction::Fail) return Failed(parsed, parsed.error);
      continue;
    }
    bool known = false;
    for (const Switch& option : kSwitches) {
      if (std::strcmp(argument, option.name) == 0) {
        parsed.options.*option.field = option.value;
        known = true;
        break;
      }
    }
    if (known) continue;
    std::string error;
    if (TakeExportOption(argc, argv, i, parsed.options, error)) {
      if (error.empty()) continue;
      return Failed(parsed, error);
    }
    return Failed(parsed, argument[0] == '-' ? std::string("padscope-report: unknown option '") + argument + "'"
                                             : std::string("padscope-report: unexpected argument '") + argument + "'");
  }
  std::string conflict = ExportOptionConflict(parsed.options);
  if (conflict.empty() && parsed.options.penWindow && !parsed.options.penCheck) {
    conflict = "padscope-report: --pen-window shows the pen check's window: it needs --pen";
  }
  if (!conflict.empty()) return Failed(parsed, conflict);
  if (help) {
    parsed.action = CliAction::ShowHelp;
  } else if (version) {
    parsed.action = CliAction::ShowVersion;
  }
  return parsed;
}
