// The questions a reader asks of a run's answer log: which row answered,
// what it answered, whether a call faulted or was still under way. The
// diagnosis's rules read the log only through these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/answer_log.h"

namespace facts {
const AnswerLogEntry* Find(const AnswerLog& log, uint32_t category, uint32_t index);
bool Answered(const AnswerLogEntry* entry);                                   // a real call returned bytes
bool ReadUint32(const AnswerLog& log, const AnswerLogEntry* entry, uint32_t& value);  // exactly 4 bytes
uint32_t CountOf(const AnswerLog& log, const AnswerLogEntry* entry);          // as the report reads a count
bool Faulted(const AnswerLogEntry& entry);
bool Underway(const AnswerLogEntry& entry);
std::u16string RowName(const AnswerLogEntry& entry);                         // "WTI_DEVICE+0 DVC_NAME"
// The numbers of the sections in [firstCategory, endCategory) that the log asked, in order.
std::vector<uint32_t> Numbers(const AnswerLog& log, uint32_t firstCategory, uint32_t endCategory);
}  // namespace facts
