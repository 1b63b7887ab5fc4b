// Renderers that decode the answer of the last query (queryBuffer,
// lastQuerySize) into report text, each behind the answer-size rule:
// size 0 appends nothing, any size but the expected one appends
// "<invalid buffer length: expected %u>", only the expected size is decoded.
#pragma once

#include <cstddef>
#include <cstdint>

struct DialogState;

struct FlagName {
  uint32_t bit;
  const char16_t* name;  // with its trailing blank
};

struct FlagSet {
  const FlagName* flags;
  size_t count;
};

// The six flag sets, in the order their bits are tested and printed.
extern const FlagSet kPacketDataFlags;     // WTPKT
extern const FlagSet kHardwareFlags;       // DVC_HARDWARE
extern const FlagSet kCapabilityFlags;     // CSR_CAPABILITIES
extern const FlagSet kContextOptionFlags;  // lcOptions
extern const FlagSet kContextStatusFlags;  // lcStatus
extern const FlagSet kContextLockFlags;    // lcLocks

// The answer-size rule: true when the answer has exactly `expected` bytes.
// Otherwise appends the invalid-length message (or nothing for size 0) and
// returns false.
bool AnswerHasSize(DialogState& state, uint32_t expected);

// The first 32 bits of queryBuffer, little-endian.
uint32_t AnswerUint32(const DialogState& state);

void AppendVersion(DialogState& state);        // 2 bytes: "major.minor"
void AppendUint(DialogState& state);           // 4 bytes: "%u [0x%08x]"
void AppendByte(DialogState& state);           // 1 byte:  "%u [0x%02x]"
void AppendBool(DialogState& state);           // 4 bytes: TRUE / FALSE
void AppendFlagSet(DialogState& state, uint32_t value, const FlagSet& set);
void AppendPacketDataFlags(DialogState& state, uint32_t value);

// The flag rows of the device and cursor sections: the answer-size rule with
// 4, then the set (or the packet-data set) with the answer's 32-bit value.
void AppendFlagSetAnswer(DialogState& state, const FlagSet& set);
void AppendPacketDataAnswer(DialogState& state);
void AppendUintArray(DialogState& state);      // "[%3u]" then " %u" each
void AppendQuotedText(DialogState& state);     // "\"%s\"", any nonzero size
void AppendNotDisplayed(DialogState& state);   // "<display not impl>", any nonzero size

// Builds "[ NAME NAME ]" for value into out (capacity units, terminator
// included; the longest text the sets produce is 120 units). The text is
// cut at the capacity and always terminated.
void FormatFlagText(char16_t* out, size_t capacity, uint32_t value, const FlagSet& set);

// The flag-text work area every caller provides.
inline constexpr size_t kFlagTextUnits = 200;
