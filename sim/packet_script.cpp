#include "packet_script.h"

#include "profile_parser.h"
#include "value_literals.h"

namespace sim {
namespace {

// Time between packets that do not give their own, in milliseconds: the
// default tablet's 200 packets a second.
constexpr uint32_t kDefaultPacketSpacingMs = 5;

// Most records one WTPacketsGet may be told to write, whatever it was asked.
constexpr uint64_t kMaxWrittenPackets = 4096;

enum class FieldKind { unsignedValue, signedValue, handle };

struct PacketField {
  const char* name;
  FieldKind kind;
  uint32_t ScriptedPacket::*unsignedField;
  int32_t* (*signedField)(ScriptedPacket&);
};

template <int32_t ScriptedPacket::*Field>
int32_t* Plain(ScriptedPacket& packet) { return &(packet.*Field); }
template <size_t Slot>
int32_t* Orientation(ScriptedPacket& packet) { return &packet.orientation[Slot]; }
template <size_t Slot>
int32_t* Rotation(ScriptedPacket& packet) { return &packet.rotation[Slot]; }

constexpr PacketField kPacketFields[] = {
    {"context", FieldKind::handle, nullptr, nullptr},
    {"status", FieldKind::unsignedValue, &ScriptedPacket::status, nullptr},
    {"time", FieldKind::unsignedValue, &ScriptedPacket::time, nullptr},
    {"changed", FieldKind::unsignedValue, &ScriptedPacket::changed, nullptr},
    {"serial", FieldKind::unsignedValue, &ScriptedPacket::serial, nullptr},
    {"cursor", FieldKind::unsignedValue, &ScriptedPacket::cursor, nullptr},
    {"buttons", FieldKind::unsignedValue, &ScriptedPacket::buttons, nullptr},
    {"x", FieldKind::signedValue, nullptr, &Plain<&ScriptedPacket::x>},
    {"y", FieldKind::signedValue, nullptr, &Plain<&ScriptedPacket::y>},
    {"z", FieldKind::signedValue, nullptr, &Plain<&ScriptedPacket::z>},
    {"pressure", FieldKind::unsignedValue, &ScriptedPacket::normalPressure, nullptr},
    {"tangent", FieldKind::unsignedValue, &ScriptedPacket::tangentPressure, nullptr},
    {"azimuth", FieldKind::signedValue, nullptr, &Orientation<0>},
    {"altitude", FieldKind::signedValue, nullptr, &Orientation<1>},
    {"twist", FieldKind::signedValue, nullptr, &Orientation<2>},
    {"pitch", FieldKind::signedValue, nullptr, &Rotation<0>},
    {"roll", FieldKind::signedValue, nullptr, &Rotation<1>},
    {"yaw", FieldKind::signedValue, nullptr, &Rotation<2>},
};

struct EntryName {
  const char* name;
  PenEntry entry;
};
constexpr EntryName kEntryNames[] = {
    {"WTOpenW", PenEntry::open},
    {"WTEnable", PenEntry::enable},
    {"WTPacketsGet", PenEntry::packetsGet},
    {"WTClose", PenEntry::close},
};

bool SetField(const PacketField& field, std::string_view text, ScriptedPacket& packet) {
  switch (field.kind) {
    case FieldKind::handle: {
      uint64_t handle = 0;
      if (!ParseUnsigned(text, UINT64_MAX, handle)) return false;
      packet.context = handle;
      return true;
    }
    case FieldKind::unsignedValue: {
      uint64_t number = 0;
      if (!ParseUnsigned(text, 0xFFFFFFFFu, number)) return false;
      packet.*field.unsignedField = static_cast<uint32_t>(number);
      return true;
    }
    case FieldKind::signedValue: return ParseSigned32(text, *field.signedField(packet));
  }
  return false;
}

bool ParsePenAction(std::string_view action, PenEntry entry, PenCallBehaviour& behaviour, std::string& error) {
  if (ParseMisconduct(action, behaviour.misconduct, behaviour.raiseCode)) return true;
  if (action == "fail") {
    behaviour.fails = true;
    return true;
  }
  const auto valueOf = [&action](std::string_view prefix, std::string_view& value) {
    if (action.rfind(prefix, 0) != 0) return false;
    value = action.substr(prefix.size());
    return true;
  };
  std::string_view value;
  if (valueOf("handle=", value)) {
    uint64_t handle = 0;
    if (entry != PenEntry::open || !ParseUnsigned(value, UINT64_MAX, handle)) {
      error = "handle= takes a number and applies to WTOpenW only";
      return false;
    }
    behaviour.handle = handle;
    return true;
  }
  if (valueOf("count=", value)) {
    int32_t count = 0;
    if (entry != PenEntry::packetsGet || !ParseSigned32(value, count)) {
      error = "count= takes a number and applies to WTPacketsGet only";
      return false;
    }
    behaviour.returnedCount = count;
    return true;
  }
  if (valueOf("write=", value)) {
    uint64_t records = 0;
    if (entry != PenEntry::packetsGet || !ParseUnsigned(value, kMaxWrittenPackets, records)) {
      error = "write= takes a number up to " + std::to_string(kMaxWrittenPackets) + " and applies to WTPacketsGet only";
      return false;
    }
    behaviour.writtenPackets = static_cast<uint32_t>(records);
    return true;
  }
  error = "unknown action '" + std::string(action) + "'";
  return false;
}

}  // namespace

bool IsPenEntryName(std::string_view name) {
  for (const EntryName& known : kEntryNames) {
    if (name == known.name) return true;
  }
  return false;
}

bool AddScriptedPacket(const std::vector<std::string_view>& words, Profile& profile, std::string& error) {
  if (words.size() == 1 && words[0] == "none") {
    profile.packets.clear();
    return true;
  }
  ScriptedPacket packet;
  if (!profile.packets.empty()) {
    packet = profile.packets.back();
    packet.serial += 1;
    packet.time += kDefaultPacketSpacingMs;
  } else {
    packet.serial = 1;
  }
  if (words.size() % 2 != 0) {
    error = "a packet is pairs of <field> <value>";
    return false;
  }
  for (size_t k = 0; k < words.size(); k += 2) {
    const PacketField* field = nullptr;
    for (const PacketField& known : kPacketFields) {
      if (words[k] == known.name) field = &known;
    }
    if (field == nullptr) {
      error = "unknown packet field '" + std::string(words[k]) + "'";
      return false;
    }
    if (!SetField(*field, words[k + 1], packet)) {
      static const char* const kRanges[] = {"a number from 0 to 4294967295", "a number from -2147483648 to 2147483647",
                                            "a number from 0 to 18446744073709551615"};
      error = "bad value '" + std::string(words[k + 1]) + "' for packet field " + field->name + ": expected " +
              kRanges[static_cast<int>(field->kind)];
      return false;
    }
  }
  profile.packets.push_back(packet);
  return true;
}

bool AddPenCallBehaviour(const std::vector<std::string_view>& words, Profile& profile, std::string& error) {
  const EntryName* named = nullptr;
  for (const EntryName& known : kEntryNames) {
    if (!words.empty() && words[0] == known.name) named = &known;
  }
  if (named == nullptr || words.size() < 2) {
    error = "a call behaviour needs: <WTOpenW|WTEnable|WTPacketsGet|WTClose> <action>...";
    return false;
  }
  PenCallBehaviour update;
  for (size_t k = 1; k < words.size(); ++k) {
    if (!ParsePenAction(words[k], named->entry, update, error)) return false;
  }
  PenCallBehaviour& into = profile.penCalls[static_cast<size_t>(named->entry)];
  if (update.misconduct != Misconduct::none) {
    into.misconduct = update.misconduct;
    into.raiseCode = update.raiseCode;
  }
  into.fails = into.fails || update.fails;
  if (update.handle) into.handle = update.handle;
  if (update.returnedCount) into.returnedCount = update.returnedCount;
  if (update.writtenPackets) into.writtenPackets = update.writtenPackets;
  return true;
}

}  // namespace sim
