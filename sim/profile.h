// A tablet profile: what the simulated library answers to each WTInfoW
// query and how it misbehaves while answering. Profiles are plain data,
// built by the profile parser from text (built-in or a file).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

// A range of categories, both ends included: one category, or for example
// every cursor from 200 to 200 + 99999.
struct CategoryRange {
  uint32_t first = 0;
  uint32_t last = 0;
  bool Contains(uint32_t category) const { return category >= first && category <= last; }
};

// The bytes answered for one index in a range of categories.
struct ItemEntry {
  CategoryRange categories;
  uint32_t index = 0;
  std::vector<uint8_t> bytes;
};

enum class CallPhase { probe, real };  // probe: output NULL; real: output given

// hangOnce: the first such call in the process never returns, later ones
// answer normally (a host that ends the stuck call can test again).
enum class Misconduct { none, accessViolation, illegalInstruction, divideByZero, stackOverflow, raise, hang, hangOnce };

// Default code of a software-raised exception: customer bit set, so that no
// system code is imitated.
inline constexpr uint32_t kDefaultRaiseCode = 0xE0515301u;

// How one call misbehaves. Unset fields keep the sound behaviour.
struct CallBehaviour {
  Misconduct misconduct = Misconduct::none;  // happens after the answer is written
  uint32_t raiseCode = kDefaultRaiseCode;
  std::optional<uint32_t> returnedCount;  // returned instead of the true count
  std::optional<uint32_t> writtenBytes;   // real calls only: bytes written to the output
};

struct BehaviourEntry {
  CategoryRange categories;
  uint32_t index = 0;
  CallPhase phase = CallPhase::probe;
  CallBehaviour behaviour;
};

// One packet of the profile's pen script, with every field the packet
// layout knows; a context receives the fields its lcPktData selects.
// Its own record on purpose, not the program's DecodedPacket: the library
// stands in for a driver and must not share the reader's idea of a packet,
// or a mistake in one would hide in both.
struct ScriptedPacket {
  std::optional<uint64_t> context;  // pkContext; unset: the handle of the reading context
  uint32_t status = 0;
  uint32_t time = 0;
  uint32_t changed = 0;
  uint32_t serial = 0;
  uint32_t cursor = 0;
  uint32_t buttons = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  uint32_t normalPressure = 0;
  uint32_t tangentPressure = 0;
  int32_t orientation[3] = {};  // azimuth, altitude, twist
  int32_t rotation[3] = {};     // pitch, roll, yaw
};

// The pen entry points, for behaviours given with "call".
enum class PenEntry { open, enable, packetsGet, close };
inline constexpr size_t kPenEntryCount = 4;

// How one pen entry point misbehaves. Unset fields keep the sound behaviour.
struct PenCallBehaviour {
  Misconduct misconduct = Misconduct::none;  // after the call has done its work
  uint32_t raiseCode = kDefaultRaiseCode;
  bool fails = false;                        // the call refuses: NULL or 0
  std::optional<uint64_t> handle;            // WTOpenW: returned instead of the context's handle
  std::optional<int32_t> returnedCount;      // WTPacketsGet: returned instead of the packets written
  std::optional<uint32_t> writtenPackets;    // WTPacketsGet: records written, whatever was asked
};
// One version string of the library; no value: the library has no such key.
struct VersionString {
  std::string key;
  std::optional<std::u16string> value;
};

// The library's entry points, as the program looks them up.
inline constexpr const char* kEntryPointNames[] = {"WTInfoW", "WTOpenW", "WTClose", "WTEnable", "WTPacketsGet"};

struct Profile {
  std::vector<ItemEntry> items;           // a later entry overrides an earlier one
  std::vector<BehaviourEntry> behaviours; // later entries override field by field
  std::vector<ScriptedPacket> packets;    // the pen script, in playing order
  PenCallBehaviour penCalls[kPenEntryCount];
  std::vector<VersionString> versions;    // replace the library's own strings key by key
  std::vector<std::string> lackedEntryPoints;  // names from kEntryPointNames
  uint32_t answerDelayMs = 0;  // every WTInfoW call takes this long before it answers
  bool loadHangs = false;     // loading the library never finishes
  bool releaseHangs = false;  // releasing it never finishes (Windows)
  // Packets reach a context only while the window it was opened on is shown
  // (as with libraries that deliver packets to a window under the pen).
  bool packetsOnlyToShownWindow = false;
  // WTOpenW's handles: this number for the first context, one more for each
  // further one ("handles <first>", as a recorded driver numbered them).
  uint64_t firstHandle = 1;
  // A recording's run besides the library: its options ("options") and the
  // system facts ("system <fact>"), for the program that replays it.
  std::vector<std::pair<std::string, std::u16string>> recorded;
  bool recordingEnded = false;  // the recording's "end" was read

  // The answer for (category, index), or null when the profile has none.
  // The pointer stays valid as long as the profile is not changed.
  const std::vector<uint8_t>* FindAnswer(uint32_t category, uint32_t index) const;

  // The merged behaviour of every entry that matches the call.
  CallBehaviour BehaviourFor(uint32_t category, uint32_t index, CallPhase phase) const;

  bool Lacks(const char* entryPoint) const;
};

// Folds `update` into `into`: every field that `update` sets wins.
void MergeBehaviour(CallBehaviour& into, const CallBehaviour& update);

}  // namespace sim
