#include "format/value_format.h"

#include <cstring>

#include "report/answer_logging.h"
#include "report/dialog_state.h"

namespace {

constexpr uint32_t kMaxArrayValues = 256;
// A text answer is read no further than the buffer, whatever its size says.
constexpr size_t kQueryBufferUnits = kQueryBufferBytes / sizeof(char16_t);

}  // namespace

bool AnswerHasSize(DialogState& state, uint32_t expected) {
  if (state.lastQuerySize == 0) return false;
  if (state.lastQuerySize != expected) {
    Append(state, u"<invalid buffer length: expected %u>", expected);
    NoteSizeRefused(state, expected);
    return false;
  }
  return true;
}

uint32_t AnswerUint32(const DialogState& state) {
  uint32_t value;
  std::memcpy(&value, state.queryBuffer, sizeof(value));
  return value;
}

void AppendVersion(DialogState& state) {
  if (!AnswerHasSize(state, 2)) return;
  const uint32_t major = state.queryBuffer[1];
  const uint32_t minor = state.queryBuffer[0];
  Append(state, u"%u.%u", major, minor);
}

void AppendUint(DialogState& state) {
  if (!AnswerHasSize(state, 4)) return;
  const uint32_t value = AnswerUint32(state);
  Append(state, u"%u [0x%08x]", value, value);
}

void AppendByte(DialogState& state) {
  if (!AnswerHasSize(state, 1)) return;
  const uint32_t value = state.queryBuffer[0];
  Append(state, u"%u [0x%02x]", value, value);
}

void AppendBool(DialogState& state) {
  if (!AnswerHasSize(state, 4)) return;
  Append(state, u"%s", AnswerUint32(state) != 0 ? u"TRUE" : u"FALSE");
}

void FormatFlagText(char16_t* out, size_t capacity, uint32_t value, const FlagSet& set) {
  if (capacity == 0) return;
  size_t used = 0;
  auto add = [&](const char16_t* text) {
    for (; *text != 0 && used + 1 < capacity; ++text) out[used++] = *text;
  };
  add(u"[ ");
  for (size_t i = 0; i < set.count; ++i) {
    if ((value & set.flags[i].bit) != 0) add(set.flags[i].name);
  }
  add(u"]");
  out[used] = 0;
}

void AppendFlagSet(DialogState& state, uint32_t value, const FlagSet& set) {
  char16_t flagText[kFlagTextUnits];
  FormatFlagText(flagText, kFlagTextUnits, value, set);
  const char16_t* text = flagText;
  Append(state, u"0x%08x %s", value, text);
}

void AppendPacketDataFlags(DialogState& state, uint32_t value) { AppendFlagSet(state, value, kPacketDataFlags); }

void AppendFlagSetAnswer(DialogState& state, const FlagSet& set) {
  if (AnswerHasSize(state, 4)) AppendFlagSet(state, AnswerUint32(state), set);
}

void AppendPacketDataAnswer(DialogState& state) { AppendFlagSetAnswer(state, kPacketDataFlags); }

void AppendUintArray(DialogState& state) {
  const uint32_t size = state.lastQuerySize;
  if (size == 0) return;
  if (size % 4 != 0) {
    Append(state, u"<invalid buffer length: %u (expected multiple of UINT)>", size);
    NoteSizeRefused(state, 0);
    return;
  }
  const uint32_t count = size / 4;
  if (count > kMaxArrayValues) {
    Append(state, u"<invalid buffer length: %u (expected less than sizeof(UINT)*256)>", size);
    NoteSizeRefused(state, 0);
    return;
  }
  Append(state, u"[%3u]", count);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t value;
    std::memcpy(&value, state.queryBuffer + 4 * i, sizeof(value));
    Append(state, u" %u", value);
  }
}

void AppendQuotedText(DialogState& state) {
  if (state.lastQuerySize == 0) return;
  // The buffer was cleared before the query, so a shorter answer is always
  // terminated; the formatter reads at most one piece's worth of units,
  // which is far inside the buffer, so an answer without any zero unit is
  // cut rather than read past the end.
  static_assert(kPieceLimitUnits < kQueryBufferUnits);
  char16_t text[kPieceLimitUnits + 1];
  std::memcpy(text, state.queryBuffer, sizeof(text) - sizeof(char16_t));
  text[kPieceLimitUnits] = 0;
  const char16_t* value = text;
  Append(state, u"\"%s\"", value);
}

void AppendNotDisplayed(DialogState& state) {
  if (state.lastQuerySize == 0) return;
  Append(state, u"<display not impl>");
}
