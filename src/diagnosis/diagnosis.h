// padscope-report --diagnose: findings about the tested library, computed
// from the run's answer log (never from the report text), one line each,
// after the report.
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
  const char* identifier;
  std::u16string sentence;
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
};

// Every rule of the table, in table order, each giving its findings.
std::vector<Finding> Diagnose(const DiagnosisInput& input);

// The section written after the report: a heading, one line per finding
// and the closing line with the counts (CR LF line ends).
std::u16string DiagnosisSection(const std::vector<Finding>& findings);

uint32_t ProblemCount(const std::vector<Finding>& findings);
