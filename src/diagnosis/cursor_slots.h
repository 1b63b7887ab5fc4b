// The questions --diagnose adds after a complete report: the names of a few
// cursor slots past IFC_NCURSORS, asked in a second, silent run over the
// same library with the report's options, under the same guards and the
// same watchdog. Its text is thrown away; the report is not touched.
#pragma once

#include <cstdint>

#include "report/report_switches.h"
#include "report/answer_log.h"
#include "report/run_outcome.h"

inline constexpr uint32_t kMaxProbedSlots = 8;

struct CursorSlotProbe {
  bool ran = false;     // the probe ran
  bool ended = false;   // it ended; false: it hung, and its worker was left behind
  uint32_t firstSlot = 0;
  uint32_t slotCount = 0;
  // Every call of the probe (load, one CSR_NAME query per slot, release).
  AnswerLogEntry entries[kMaxProbedSlots + 4];
  uint8_t bytes[4096];
  AnswerLog log{};
  RunOutcome outcome{};
};

// The slots past a count that are worth asking: up to the next multiple of
// three at or above the count, and three more (a count of 2 asks 2 to 5).
uint32_t ProbedSlotsEnd(uint32_t cursorCount);

// Runs the probe for slots [cursorCount, ProbedSlotsEnd(cursorCount)). The
// probe is heap-allocated and must be given up, not freed, when it hung.
CursorSlotProbe* ProbeCursorSlots(uint32_t cursorCount, const ReportSwitches& switches);
