#include "report/answer_facts.h"

#include <cstring>
#include <string>

namespace facts {

const AnswerLogEntry* Find(const AnswerLog& log, uint32_t category, uint32_t index) {
  for (uint32_t i = 0; i < log.entryCount; ++i) {
    const AnswerLogEntry& entry = log.entries[i];
    if (entry.step == LoggedStep::query && entry.category == category && entry.index == index) return &entry;
  }
  return nullptr;
}

bool Answered(const AnswerLogEntry* entry) {
  return entry != nullptr && entry->real.state == CallState::returned && entry->real.count > 0;
}

bool ReadUint32(const AnswerLog& log, const AnswerLogEntry* entry, uint32_t& value) {
  if (!Answered(entry) || entry->real.count != 4) return false;
  value = CountOf(log, entry);
  return true;
}

uint32_t CountOf(const AnswerLog& log, const AnswerLogEntry* entry) {
  if (!Answered(entry)) return 0;
  uint8_t bytes[4] = {};
  const uint8_t* kept = AnswerBytes(log, *entry);
  if (kept != nullptr) std::memcpy(bytes, kept, entry->bytesLength < 4 ? entry->bytesLength : 4);
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

bool Faulted(const AnswerLogEntry& entry) {
  return entry.probe.state == CallState::faulted || entry.real.state == CallState::faulted;
}

bool Underway(const AnswerLogEntry& entry) {
  return entry.probe.state == CallState::underway || entry.real.state == CallState::underway;
}

std::u16string RowName(const AnswerLogEntry& entry) {
  std::u16string name;
  if (entry.step == LoggedStep::query) {
    uint32_t number = 0;
    const char16_t* section = SectionOf(entry.category, &number);
    if (section != nullptr) {
      name = section;
      if (name.back() == u'+') {
        for (const char c : std::to_string(number)) name += static_cast<char16_t>(c);
      }
      name += u' ';
    } else {
      for (const char c : std::to_string(entry.category)) name += static_cast<char16_t>(c);
      name += u' ';
    }
  }
  if (entry.rowLabel != nullptr) {
    name += entry.rowLabel;
  } else {
    for (const char c : std::to_string(entry.index)) name += static_cast<char16_t>(c);
  }
  return name;
}

std::vector<uint32_t> Numbers(const AnswerLog& log, uint32_t firstCategory, uint32_t endCategory) {
  std::vector<uint32_t> numbers;
  for (uint32_t i = 0; i < log.entryCount; ++i) {
    const AnswerLogEntry& entry = log.entries[i];
    if (entry.step != LoggedStep::query || entry.category < firstCategory || entry.category >= endCategory) continue;
    const uint32_t number = entry.category - firstCategory;
    bool seen = false;
    for (const uint32_t known : numbers) seen = seen || known == number;
    if (!seen) numbers.push_back(number);
  }
  return numbers;
}

}  // namespace facts
