// padscope-report --diagnose: findings about the tested library, computed
// from the run's answer log (never from the report text), one line each,
// after the report. A finding says in plain words what goes wrong for the
// user and what can be done; the rows it rests on follow it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "diagnosis/cursor_slots.h"
#include "platform/platform.h"
#include "report/answer_facts.h"
#include "report/answer_log.h"
#include "report/run_outcome.h"

enum class Severity : uint8_t { problem, warning, note };

struct Finding {
  Severity severity;
  const char* identifier;             // stable, for scripts and support staff
  std::u16string sentence;            // what goes wrong and what to do, ending in a full stop
  std::vector<std::u16string> rows;   // the rows it rests on, each with what it answered
};

// What the rules know of the system around the program.
struct SystemFacts {
  platform::DesktopBounds desktop{};
  bool libraryInSystemFolder = false;
  bool otherEditionApplies = false;  // a 64-bit system with another edition of the library's folder
  bool otherEditionExists = false;
  std::u16string otherEditionPath;
  LoggedText otherFileVersion{};
  LoggedText otherCompanyName{};
  // A replay: the recorded library's file and version strings, which the
  // rules read in place of those of the simulated library that answered.
  bool replayed = false;
  LoggedText libraryPath{};
  LoggedText libraryFileVersion{};
  LoggedText libraryCompanyName{};
};

// Everything a rule may read.
struct DiagnosisInput {
  const AnswerLog& log;
  const RunOutcome& outcome;
  bool hung;
  const CursorSlotProbe* slots;  // null when the slots were not asked
  const SystemFacts& system;
  bool safeMode = true;  // the run guarded its calls
};

// Every rule of the table, in table order, each giving its findings.
std::vector<Finding> Diagnose(const DiagnosisInput& input);

// The section written after the report: a heading, one line per finding
// and the closing line with the counts (CR LF line ends).
std::u16string DiagnosisSection(const std::vector<Finding>& findings);

// A finding's line after its identifier: the sentence, then "Rows: " and
// its rows separated by "; ", ending in a full stop.
std::u16string FindingText(const Finding& finding);

const char* SeverityName(Severity severity);

// The longest identifier of the table: the identifiers' column is this wide.
size_t LongestIdentifier();

uint32_t ProblemCount(const std::vector<Finding>& findings);
