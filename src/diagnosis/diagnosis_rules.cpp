// The rules of --diagnose, in one table: each row has its identifier, its
// severity, its sentence (what goes wrong in drawing programs and what the
// user or the driver's maker can do; each "@" is filled with the next
// detail the check gives) and its check, which also names the rows the
// finding rests on. Adding a rule is adding a row.
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "diagnosis/diagnosis.h"
#include "diagnosis/load_error.h"
#include "format/hex_digits.h"
#include "format/value_format.h"
#include "report/dialog_state.h"
#include "wintab/wintab_binding.h"

namespace {

using namespace wintab;
using namespace facts;
using Details = std::vector<std::u16string>;

// One finding of a check: the texts for its sentence's "@"s and its rows.
struct Found {
  Details fill;
  Details rows;
};
using Findings = std::vector<Found>;

std::u16string Text(const std::string& ascii) {
  std::u16string out;
  for (const char c : ascii) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  return out;
}
// The pieces one after the other, in one string.
std::u16string Cat(std::initializer_list<std::u16string_view> pieces) {
  std::u16string out;
  for (const std::u16string_view piece : pieces) out += piece;
  return out;
}

std::u16string Number(int64_t value) { return Text(std::to_string(value)); }
std::u16string Hex(uint32_t value) { return Text("0x" + HexDigits(value, 8, false)); }
std::u16string Counted(size_t count, const char16_t* singular, const char16_t* plural) {
  return Cat({Number(static_cast<int64_t>(count)), u" ", count == 1 ? singular : plural});
}

// "a, b and c"; past `shown` items "and N more".
std::u16string ListOf(const std::vector<std::u16string>& items, size_t shown = 6) {
  std::u16string out;
  const size_t listed = items.size() > shown ? shown : items.size();
  for (size_t i = 0; i < listed; ++i) {
    if (i > 0) out += (i + 1 == listed && listed == items.size()) ? u" and " : u", ";
    out += items[i];
  }
  if (items.size() > listed) out += Cat({u" and ", Number(static_cast<int64_t>(items.size() - listed)), u" more"});
  return out;
}

// The names of the WTPKT bits set in mask, as the report prints them.
std::u16string BitNames(uint32_t mask) {
  std::vector<std::u16string> names;
  for (size_t i = 0; i < kPacketDataFlags.count; ++i) {
    if ((mask & kPacketDataFlags.flags[i].bit) == 0) continue;
    std::u16string name = kPacketDataFlags.flags[i].name;
    while (!name.empty() && name.back() == u' ') name.pop_back();
    names.push_back(name);
  }
  return names.empty() ? Hex(mask) : ListOf(names, 14);
}

std::u16string Row(const AnswerLogEntry* entry) { return RowName(*entry); }

std::u16string Bytes(uint32_t count) { return Counted(count, u"byte", u"bytes"); }

// A fault as the guard received it: an exception code on Windows, a signal
// number (or the code of a C++ exception) on posix.
std::u16string FaultName(uint32_t code) {
#ifndef _WIN32
  if (code < 65) return u"signal " + Number(code);
#endif
  return u"exception " + Hex(code);
}

const char16_t* Phase(const AnswerLogEntry& entry, CallState state) {
  if (entry.step == LoggedStep::load) return u"the load";
  if (entry.step == LoggedStep::release) return u"the release";
  if (entry.probe.state == state) return u"the size probe";
  return u"the real call";
}

bool ContextOf(const AnswerLog& log, const AnswerLogEntry* entry, LOGCONTEXTW& context) {
  if (!Answered(entry) || entry->real.count != sizeof(LOGCONTEXTW) || entry->bytesLength < sizeof(LOGCONTEXTW)) {
    return false;
  }
  const uint8_t* bytes = AnswerBytes(log, *entry);
  if (bytes == nullptr) return false;
  std::memcpy(&context, bytes, sizeof(context));
  return true;
}

// The axes that the packet-data bits promise, the device row that
// describes each (the orientation row holds three records) and what a
// user calls it.
struct PromisedAxis {
  uint32_t bit;
  uint32_t index;
  uint32_t records;
  const char16_t* plain;
};
constexpr PromisedAxis kPromisedAxes[] = {
    {0x0200, DVC_Z, 1, u"the pen's height above the tablet"},
    {0x0400, DVC_NPRESSURE, 1, u"pen pressure"},
    {0x0800, DVC_TPRESSURE, 1, u"the airbrush wheel"},
    {0x1000, DVC_ORIENTATION, 3, u"pen tilt"},
};
constexpr uint32_t kNormalPressureBit = 0x0400;

// The device's axis answered records of the right size, one with a range.
bool AxisDescribed(const AnswerLog& log, uint32_t device, const PromisedAxis& axis) {
  const AnswerLogEntry* entry = Find(log, WTI_DEVICES + device, axis.index);
  if (!Answered(entry) || entry->real.count != axis.records * sizeof(AXIS)) return false;
  const uint8_t* bytes = AnswerBytes(log, *entry);
  if (bytes == nullptr || entry->bytesLength < axis.records * sizeof(AXIS)) return false;
  for (uint32_t k = 0; k < axis.records; ++k) {
    AXIS record;
    std::memcpy(&record, bytes + k * sizeof(AXIS), sizeof(record));
    if (record.axMax > record.axMin) return true;
  }
  return false;
}

const AnswerLogEntry* Availability(const AnswerLog& log) {
  for (uint32_t i = 0; i < log.entryCount; ++i) {
    if (log.entries[i].step == LoggedStep::availability) return &log.entries[i];
  }
  return nullptr;
}

// A cursor is a pressure device by its own answers when its packet data
// carry NORMAL_PRESSURE or it describes a pressure button (CSR_NPBTNMARKS)
// or pressure curve (CSR_NPRESPONSE). A cursor whose CSR_PKTDATA is
// unknown counts as one: nothing says it is not a pen.
bool IsPressureCursor(const AnswerLog& log, uint32_t cursor) {
  uint32_t mask = 0;
  if (!ReadUint32(log, Find(log, WTI_CURSORS + cursor, CSR_PKTDATA), mask)) return true;
  return (mask & kNormalPressureBit) != 0 || Answered(Find(log, WTI_CURSORS + cursor, CSR_NPBTNMARKS)) ||
         Answered(Find(log, WTI_CURSORS + cursor, CSR_NPRESPONSE));
}

// The cursors that can belong to a device without pressure: those whose
// packet data the device's cover (none when no CSR_PKTDATA is known).
std::vector<uint32_t> CursorsWithin(const AnswerLog& log, uint32_t deviceMask) {
  std::vector<uint32_t> cursors;
  for (const uint32_t cursor : Numbers(log, WTI_CURSORS, 0xFFFFFFFFu)) {
    uint32_t mask = 0;
    if (ReadUint32(log, Find(log, WTI_CURSORS + cursor, CSR_PKTDATA), mask) && (mask & ~deviceMask) == 0) {
      cursors.push_back(cursor);
    }
  }
  return cursors;
}

bool IsTextRow(const AnswerLogEntry& entry) {
  if (entry.category == WTI_INTERFACE) return entry.index == IFC_WINTABID;
  if (entry.category >= WTI_CURSORS) return entry.index == CSR_NAME;
  if (entry.category >= WTI_DEVICES) return entry.index == DVC_NAME || entry.index == DVC_PNPID;
  return false;
}

// ---- The checks ------------------------------------------------------------

void NoLibrary(const DiagnosisInput& in, Findings& out) {
  if (!in.hung && in.outcome.ending == RunEnding::noLibrary) {
    out.push_back({{LoadErrorMeaning(in.log.library.loadError)},
                   {u"LoadLibrary(\"WINTAB32.DLL\") failed with error " + Number(in.log.library.loadError)}});
  }
}

void NoInfoEntry(const DiagnosisInput& in, Findings& out) {
  if (!in.hung && in.outcome.ending == RunEnding::noInfoEntry) out.push_back({{}, {u"WTInfoW() not found"}});
}

void NoInterface(const DiagnosisInput& in, Findings& out) {
  const AnswerLogEntry* probe = Availability(in.log);
  if (probe != nullptr && probe->probe.state == CallState::returned && probe->probe.count == 0) {
    out.push_back({{}, {u"WTInfoW(0,0,0) answers 0"}});
  }
}

// A count of 0 although the availability probe answers.
void ZeroCount(const DiagnosisInput& in, Findings& out, uint32_t index) {
  const AnswerLogEntry* probe = Availability(in.log);
  const AnswerLogEntry* row = Find(in.log, WTI_INTERFACE, index);
  if (probe == nullptr || probe->probe.state != CallState::returned || probe->probe.count == 0) return;
  if (row == nullptr || Faulted(*row) || Underway(*row) || CountOf(in.log, row) != 0) return;
  out.push_back({{}, {Cat({Row(row), u" is 0"}), Cat({u"WTInfoW(0,0,0) answers ", Number(probe->probe.count)})}});
}
void NoDevices(const DiagnosisInput& in, Findings& out) { ZeroCount(in, out, IFC_NDEVICES); }
void NoCursors(const DiagnosisInput& in, Findings& out) { ZeroCount(in, out, IFC_NCURSORS); }

void NoActiveCursor(const DiagnosisInput& in, Findings& out) {
  std::vector<std::u16string> rows;
  for (const uint32_t cursor : Numbers(in.log, WTI_CURSORS, 0xFFFFFFFFu)) {
    const AnswerLogEntry* active = Find(in.log, WTI_CURSORS + cursor, CSR_ACTIVE);
    if (active == nullptr) continue;
    uint32_t value = 0;
    const bool read = ReadUint32(in.log, active, value);
    if (read && value != 0) return;
    rows.push_back(Row(active) + (read ? u" is FALSE" : u" answers nothing"));
  }
  if (!rows.empty()) out.push_back({{}, rows});
}

void CursorSlots(const DiagnosisInput& in, Findings& out) {
  const CursorSlotProbe* probe = in.slots;
  if (probe == nullptr || !probe->ran || !probe->ended) return;
  Details rows{u"WTI_INTERFACE IFC_NCURSORS is " + Number(probe->firstSlot)};
  size_t answering = 0;
  for (uint32_t i = 0; i < probe->log.entryCount; ++i) {
    const AnswerLogEntry& entry = probe->log.entries[i];
    if (entry.step != LoggedStep::query || !Answered(&entry)) continue;
    rows.push_back(Cat({Row(&entry), u" answers"}));
    ++answering;
  }
  if (answering == 0) return;
  size_t empty = 0;
  for (uint32_t cursor = 0; cursor < probe->firstSlot; ++cursor) {
    const AnswerLogEntry* name = Find(in.log, WTI_CURSORS + cursor, CSR_NAME);
    if (name == nullptr || Answered(name)) continue;
    rows.push_back(Cat({Row(name), u" answers nothing"}));
    ++empty;
  }
  if (probe->firstSlot != 0 && empty == 0) return;  // every counted cursor is there: extra ones do no harm
  const std::u16string inside = probe->firstSlot == 0 ? std::u16string(u"the library counts none")
                                : empty == 1 ? std::u16string(u"a counted one has no name")
                                             : Cat({Number(static_cast<int64_t>(empty)), u" counted ones have no name"});
  out.push_back({{answering == 1 ? u"A cursor answers" : Cat({Number(static_cast<int64_t>(answering)), u" cursors answer"}),
                  inside},
                 rows});
}

void SlotsStuck(const DiagnosisInput& in, Findings& out) {
  const CursorSlotProbe* probe = in.slots;
  if (probe == nullptr || !probe->ran) return;
  for (uint32_t i = 0; i < probe->log.entryCount; ++i) {
    const AnswerLogEntry& entry = probe->log.entries[i];
    if (!Faulted(entry) && !Underway(entry)) continue;
    const bool stuck = Underway(entry);
    const std::u16string what = stuck ? (probe->ended ? u"faulted past Safe Mode" : u"hung") : u"faulted";
    out.push_back({{stuck && !probe->ended ? u"hang" : u"crash"},
                   {Cat({Row(&entry), u": ", Phase(entry, stuck ? CallState::underway : CallState::faulted), u" ",
                         what})}});
  }
}

void AxisPromised(const DiagnosisInput& in, Findings& out) {
  const AnswerLog& log = in.log;
  const std::vector<uint32_t> devices = Numbers(log, WTI_DEVICES, WTI_CURSORS);
  LOGCONTEXTW contexts[2];
  const uint32_t contextCategories[2] = {WTI_DEFCONTEXT, WTI_DEFSYSCTX};
  for (const PromisedAxis& axis : kPromisedAxes) {
    std::vector<std::u16string> promises;
    std::vector<std::u16string> missing;
    bool anyDescribes = false;
    for (const uint32_t device : devices) {
      const bool described = AxisDescribed(log, device, axis);
      anyDescribes = anyDescribes || described;
      uint32_t mask = 0;
      const AnswerLogEntry* data = Find(log, WTI_DEVICES + device, DVC_PKTDATA);
      // A run that hung or faulted after DVC_PKTDATA never asked the axis:
      // nothing is known of it, as for a context's device below.
      const AnswerLogEntry* row = Find(log, WTI_DEVICES + device, axis.index);
      if (row != nullptr && !described && ReadUint32(log, data, mask) && (mask & axis.bit) != 0) {
        promises.push_back(Row(data));
        missing.push_back(Row(row));
      }
    }
    for (int c = 0; c < 2; ++c) {
      const AnswerLogEntry* context = Find(log, contextCategories[c], 0);
      if (!ContextOf(log, context, contexts[c]) || (contexts[c].lcPktData & axis.bit) == 0) continue;
      const uint32_t device = contexts[c].lcDevice;
      const AnswerLogEntry* row = Find(log, WTI_DEVICES + device, axis.index);
      if (row == nullptr || AxisDescribed(log, device, axis)) continue;
      promises.push_back(Cat({Row(context), u" lcPktData"}));
      const std::u16string name = Row(row);
      bool listed = false;
      for (const auto& known : missing) listed = listed || known == name;
      if (!listed) missing.push_back(name);
    }
    // A cursor belongs to some device; only a bit no device describes is broken.
    if (!anyDescribes) {
      for (const uint32_t cursor : Numbers(log, WTI_CURSORS, 0xFFFFFFFFu)) {
        uint32_t mask = 0;
        const AnswerLogEntry* data = Find(log, WTI_CURSORS + cursor, CSR_PKTDATA);
        if (ReadUint32(log, data, mask) && (mask & axis.bit) != 0) promises.push_back(Row(data));
      }
      if (missing.empty()) {
        for (const uint32_t device : devices) {
          if (const AnswerLogEntry* row = Find(log, WTI_DEVICES + device, axis.index)) missing.push_back(Row(row));
        }
      }
    }
    if (promises.empty() || missing.empty()) continue;
    Details rows;
    for (const auto& promise : promises) rows.push_back(Cat({promise, u" promises ", BitNames(axis.bit)}));
    for (const auto& row : missing) rows.push_back(Cat({row, u" has no answer, a wrong size or no range"}));
    out.push_back({{axis.plain}, rows});
  }
}

void CursorMaskBeyondDevice(const DiagnosisInput& in, Findings& out) {
  uint32_t deviceMask = 0;
  bool anyDevice = false;
  for (const uint32_t device : Numbers(in.log, WTI_DEVICES, WTI_CURSORS)) {
    uint32_t mask = 0;
    if (ReadUint32(in.log, Find(in.log, WTI_DEVICES + device, DVC_PKTDATA), mask)) {
      deviceMask |= mask;
      anyDevice = true;
    }
  }
  if (!anyDevice) return;
  for (const uint32_t cursor : Numbers(in.log, WTI_CURSORS, 0xFFFFFFFFu)) {
    uint32_t mask = 0;
    const AnswerLogEntry* data = Find(in.log, WTI_CURSORS + cursor, CSR_PKTDATA);
    if (!ReadUint32(in.log, data, mask) || (mask & ~deviceMask) == 0) continue;
    out.push_back({{BitNames(mask & ~deviceMask)},
                   {Cat({Row(data), u" is ", Hex(mask), u" and has ", BitNames(mask & ~deviceMask)}),
                    u"every device's DVC_PKTDATA together is " + Hex(deviceMask)}});
  }
}

// No pressure on a device: a warning when a pen may be among its cursors,
// a note when every cursor its packet data can carry is, by its own
// answers, no pressure device (a finger on a touch screen, a puck).
void NoPressureFound(const DiagnosisInput& in, Findings& out, bool pen) {
  for (const uint32_t device : Numbers(in.log, WTI_DEVICES, WTI_CURSORS)) {
    uint32_t mask = 0;
    const AnswerLogEntry* data = Find(in.log, WTI_DEVICES + device, DVC_PKTDATA);
    if (!ReadUint32(in.log, data, mask)) continue;
    if ((mask & kNormalPressureBit) == 0) {
      Details rows{Cat({Row(data), u" has no NORMAL_PRESSURE"})};
      bool anyPen = false;
      const std::vector<uint32_t> cursors = CursorsWithin(in.log, mask);
      for (const uint32_t cursor : cursors) {
        anyPen = anyPen || IsPressureCursor(in.log, cursor);
        rows.push_back(Row(Find(in.log, WTI_CURSORS + cursor, CSR_PKTDATA)) +
                       (IsPressureCursor(in.log, cursor)
                            ? u" fits it, and the cursor describes pressure"
                            : u" fits it, has no NORMAL_PRESSURE, and CSR_NPBTNMARKS and CSR_NPRESPONSE answer nothing"));
      }
      if (pen == (anyPen || cursors.empty())) out.push_back({{}, rows});
      continue;
    }
    const AnswerLogEntry* axis = Find(in.log, WTI_DEVICES + device, DVC_NPRESSURE);
    if (!pen || !Answered(axis) || axis->real.count != sizeof(AXIS) || axis->bytesLength < sizeof(AXIS)) continue;
    AXIS record;
    std::memcpy(&record, AnswerBytes(in.log, *axis), sizeof(record));
    if (record.axMax <= record.axMin) {
      out.push_back(
          {{}, {Cat({Row(axis), u" has max ", Number(record.axMax), u", not above its min ", Number(record.axMin)})}});
    }
  }
}
void NoPressure(const DiagnosisInput& in, Findings& out) { NoPressureFound(in, out, true); }
void NoPressureByNature(const DiagnosisInput& in, Findings& out) { NoPressureFound(in, out, false); }

void ScreenMismatch(const DiagnosisInput& in, Findings& out) {
  LOGCONTEXTW context;
  const AnswerLogEntry* entry = Find(in.log, WTI_DEFSYSCTX, 0);
  const platform::DesktopBounds& desktop = in.system.desktop;
  if (!ContextOf(in.log, entry, context) || desktop.width <= 0 || desktop.height <= 0) return;
  const int64_t extentY = context.lcSysExtY < 0 ? -static_cast<int64_t>(context.lcSysExtY) : context.lcSysExtY;
  if (context.lcSysOrgX == desktop.left && context.lcSysOrgY == desktop.top && context.lcSysExtX == desktop.width &&
      extentY == desktop.height) {
    return;
  }
  auto area = [](int64_t x, int64_t y, int64_t width, int64_t height) {
    return Cat({Number(x), u",", Number(y), u" ", Number(width), u"x", Number(height)});
  };
  const std::u16string mapped = area(context.lcSysOrgX, context.lcSysOrgY, context.lcSysExtX, context.lcSysExtY);
  const std::u16string screen = area(desktop.left, desktop.top, desktop.width, desktop.height);
  out.push_back({{mapped, screen},
                 {Cat({Row(entry), u" lcSysOrgX,lcSysOrgY lcSysExtX x lcSysExtY is ", mapped}),
                  u"the desktop the program sees is " + screen}});
}

void ContextDeviceBeyond(const DiagnosisInput& in, Findings& out) {
  LOGCONTEXTW context;
  const AnswerLogEntry* entry = Find(in.log, WTI_DEFSYSCTX, 0);
  const AnswerLogEntry* devices = Find(in.log, WTI_INTERFACE, IFC_NDEVICES);
  if (!ContextOf(in.log, entry, context) || !Answered(devices)) return;
  const uint32_t count = CountOf(in.log, devices);
  if (count == 0 || context.lcDevice < count) return;
  out.push_back(
      {{}, {Cat({Row(entry), u" lcDevice is ", Number(context.lcDevice)}), Cat({Row(devices), u" is ", Number(count)})}});
}

void WrongSize(const DiagnosisInput& in, Findings& out) {
  Details rows;
  for (uint32_t i = 0; i < in.log.entryCount; ++i) {
    const AnswerLogEntry& entry = in.log.entries[i];
    if (!entry.sizeRefused) continue;
    rows.push_back(Cat({Row(&entry), u" (", Bytes(entry.real.count), u", expected ",
                        entry.expectedSize != 0 ? Number(entry.expectedSize) : u"a multiple of 4 up to 1024", u")"}));
  }
  if (!rows.empty()) out.push_back({{Counted(rows.size(), u"answer", u"answers")}, rows});
}

// The size probe and the real call of one question answered different sizes.
void SizeDisagrees(const DiagnosisInput& in, Findings& out) {
  Details rows;
  for (uint32_t i = 0; i < in.log.entryCount; ++i) {
    const AnswerLogEntry& entry = in.log.entries[i];
    if (entry.step != LoggedStep::query || entry.probe.state != CallState::returned ||
        entry.real.state != CallState::returned || entry.probe.count == entry.real.count) {
      continue;
    }
    rows.push_back(Cat({Row(&entry), u": the size probe answered ", Number(entry.probe.count), u", the real call ",
                        Number(entry.real.count)}));
  }
  if (!rows.empty()) {
    out.push_back({{rows.size() == 1 ? std::u16string(u"One question") : Counted(rows.size(), u"", u"questions")},
                   rows});
  }
}

void ProbeBeyondBuffer(const DiagnosisInput& in, Findings& out) {
  Details rows;
  for (uint32_t i = 0; i < in.log.entryCount; ++i) {
    const AnswerLogEntry& entry = in.log.entries[i];
    if (entry.step != LoggedStep::query || entry.probe.state != CallState::returned ||
        entry.probe.count <= kMaxAnswerBytes) {
      continue;
    }
    rows.push_back(Cat({Row(&entry), u": the size probe answered ", Number(entry.probe.count)}));
  }
  if (!rows.empty()) {
    out.push_back({{rows.size() == 1 ? u"an answer is" : u"answers are", rows.size() == 1 ? u"it" : u"them"}, rows});
  }
}

// A text row whose answer holds no zero unit within its count.
void TextUnterminated(const DiagnosisInput& in, Findings& out) {
  Details rows;
  for (uint32_t i = 0; i < in.log.entryCount; ++i) {
    const AnswerLogEntry& entry = in.log.entries[i];
    if (entry.step != LoggedStep::query || !IsTextRow(entry) || !Answered(&entry) || entry.real.count < 2) continue;
    const uint8_t* bytes = AnswerBytes(in.log, entry);
    const uint32_t units = (entry.real.count < kMaxAnswerBytes ? entry.real.count : kMaxAnswerBytes) / 2;
    if (bytes == nullptr || entry.bytesLength < units * 2) continue;
    bool terminated = false;
    for (uint32_t k = 0; k < units && !terminated; ++k) terminated = bytes[2 * k] == 0 && bytes[2 * k + 1] == 0;
    if (!terminated) rows.push_back(Cat({Row(&entry), u": ", Bytes(entry.real.count), u" without a zero unit"}));
  }
  if (!rows.empty()) {
    out.push_back({{rows.size() == 1 ? u"A name fills its" : u"Names fill their", rows.size() == 1 ? u"it" : u"them"},
                   rows});
  }
}

// What a drawing program loses without each entry point after WTInfoW.
constexpr const char* kEntryPointLoss[kLoggedEntryPoints] = {
    nullptr,
    "drawing programs cannot open the tablet, so the pen gives no pressure or tilt, only mouse input at best",
    "drawing programs cannot let go of the tablet when they close, or fail to start with it",
    "drawing programs cannot switch their tablet input on when their window comes to the front, so the pen may "
    "stop working in them",
    "drawing programs that collect the pen's movements get none, so strokes lose their pressure and shape",
};

void EntryPointMissing(const DiagnosisInput& in, Findings& out) {
  const LibraryIdentity& library = in.log.library;
  if (!library.loaded || !library.entryPointsLookedUp) return;
  for (size_t k = 1; k < kLoggedEntryPoints; ++k) {
    if (library.entryPointFound[k]) continue;
    const std::u16string name = Text(kLoggedEntryPointNames[k]);
    out.push_back({{name, Text(kEntryPointLoss[k])}, {Cat({name, u"() not found"})}});
  }
}

// The report ran out of room: the first row that did not fit, and the
// counted devices and cursors it never reached.
void ReportFull(const DiagnosisInput& in, Findings& out) {
  const AnswerLogEntry* cut = nullptr;
  for (uint32_t i = 0; i < in.log.entryCount && cut == nullptr; ++i) {
    if (in.log.entries[i].textEnd > kReportBodyUnits) cut = &in.log.entries[i];
  }
  if (cut == nullptr) return;
  Details rows{u"the report is full at " + Row(cut)};
  std::vector<std::u16string> lost;
  const struct {
    uint32_t index, first, end;
    const char16_t* what;
  } kinds[] = {{IFC_NDEVICES, WTI_DEVICES, WTI_CURSORS, u"devices"}, {IFC_NCURSORS, WTI_CURSORS, 0xFFFFFFFFu, u"cursors"}};
  for (const auto& kind : kinds) {
    const AnswerLogEntry* count = Find(in.log, WTI_INTERFACE, kind.index);
    if (!Answered(count)) continue;
    const uint32_t counted = CountOf(in.log, count);
    const size_t asked = Numbers(in.log, kind.first, kind.end).size();
    rows.push_back(Cat({Row(count), u" is ", Number(counted), u", ", Number(static_cast<int64_t>(asked)), u" asked"}));
    if (counted > asked) {
      lost.push_back(Cat({Number(static_cast<int64_t>(counted - asked)), u" of the ", Number(counted), u" ", kind.what}));
    }
  }
  out.push_back({{lost.empty() ? std::u16string(u"the last rows") : ListOf(lost)}, rows});
}

void ContainedFaults(const DiagnosisInput& in, Findings& out) {
  Details rows;
  for (uint32_t i = 0; i < in.log.entryCount; ++i) {
    const AnswerLogEntry& entry = in.log.entries[i];
    if (!Faulted(entry)) continue;
    const CallRecord& call = entry.probe.state == CallState::faulted ? entry.probe : entry.real;
    rows.push_back(
        Cat({Row(&entry), u": ", Phase(entry, CallState::faulted), u" faulted (", FaultName(call.faultCode), u")"}));
  }
  if (!rows.empty()) {
    out.push_back({{Counted(rows.size(), u"question", u"questions"), rows.size() == 1 ? u"it" : u"them"}, rows});
  }
}

// The call that never returned: the hang, or the fault that escaped.
void Unreturned(const DiagnosisInput& in, Findings& out, bool hang) {
  if (hang ? !in.hung : (in.hung || in.outcome.ending != RunEnding::hardException)) return;
  const std::u16string fault = in.safeMode ? u"A fault inside the library escaped Safe Mode and ended the report"
                                           : u"A fault inside the library ended the report (Safe Mode was off, so "
                                             u"nothing caught it)";
  for (uint32_t i = 0; i < in.log.entryCount; ++i) {
    const AnswerLogEntry& entry = in.log.entries[i];
    if (Underway(entry)) {
      out.push_back({{fault}, {Cat({Row(&entry), u": ", Phase(entry, CallState::underway), u" never returned"})}});
      return;
    }
  }
  const std::u16string last = in.log.entryCount > 0 ? Row(&in.log.entries[in.log.entryCount - 1]) : u"the start";
  out.push_back({{fault}, {Cat({u"the step after ", last, u": no call into the library"})}});
}
void Hung(const DiagnosisInput& in, Findings& out) { Unreturned(in, out, true); }
void HardException(const DiagnosisInput& in, Findings& out) { Unreturned(in, out, false); }

void LibraryOutside(const DiagnosisInput& in, Findings& out) {
  const LibraryIdentity& library = in.log.library;
  if (library.loaded && library.path.found && !in.system.libraryInSystemFolder) {
    out.push_back({{}, {u"loaded from " + std::u16string(library.path.text)}});
  }
}

std::u16string Value(const LoggedText& text) {
  return text.found ? Cat({u"\"", text.text, u"\""}) : std::u16string(u"none");
}

void OtherEditionMissing(const DiagnosisInput& in, Findings& out) {
  if (in.log.library.loaded && in.system.otherEditionApplies && !in.system.otherEditionExists) {
    out.push_back({{}, {u"there is no " + in.system.otherEditionPath}});
  }
}

void OtherEditionDiffers(const DiagnosisInput& in, Findings& out) {
  const SystemFacts& system = in.system;
  const LibraryIdentity& library = in.log.library;
  if (!library.loaded || !system.otherEditionApplies || !system.otherEditionExists) return;
  if (Value(system.otherFileVersion) == Value(library.fileVersion) &&
      Value(system.otherCompanyName) == Value(library.companyName)) {
    return;
  }
  out.push_back({{},
                 {Cat({system.otherEditionPath, u" has FileVersion ", Value(system.otherFileVersion),
                       u" and CompanyName ", Value(system.otherCompanyName)}),
                  Cat({u"the loaded library has FileVersion ", Value(library.fileVersion), u" and CompanyName ",
                       Value(library.companyName)})}});
}

void LogIncomplete(const DiagnosisInput& in, Findings& out) {
  if (!AnswerLogIsComplete(in.log)) out.push_back({{Counted(in.log.entryCount, u"step", u"steps")}, {}});
}

// Sentences are plain ASCII, kept narrow to keep the program small.
struct Rule {
  const char* identifier;
  Severity severity;
  const char* sentence;
  void (*check)(const DiagnosisInput& input, Findings& findings);
};

// What the user can do comes last in each sentence; "tell the driver's
// maker" where only a new driver can help.
constexpr Rule kRules[] = {
    {"no-library", Severity::problem,
     "The tablet library could not be loaded, so drawing programs find no tablet: @ Install or repair the tablet "
     "driver.",
     NoLibrary},
    {"no-wtinfo", Severity::problem,
     "The tablet library lacks the function every program asks first, so drawing programs cannot use the tablet. "
     "Reinstall the tablet driver; if that does not help, tell its maker.",
     NoInfoEntry},
    {"no-interface", Severity::problem,
     "The tablet library says no tablet is available, so drawing programs find none. Check that the tablet is "
     "connected and its driver's service runs, then restart the driver or the computer.",
     NoInterface},
    {"no-devices", Severity::problem,
     "The tablet library answers but counts no tablet, so drawing programs find none. Reconnect the tablet and "
     "restart its driver; if that does not help, tell the driver's maker.",
     NoDevices},
    {"no-cursors", Severity::problem,
     "The tablet library counts no pen or other cursor, so drawing programs get no pen input. Reconnect the tablet "
     "and restart its driver; if that does not help, tell the driver's maker.",
     NoCursors},
    {"no-active-cursor", Severity::problem,
     "No pen or other cursor is marked active, so drawing programs may ignore the tablet. Check the pen in the "
     "driver's settings; if it is enabled there, tell the driver's maker.",
     NoActiveCursor},
    {"cursor-beyond-count", Severity::warning,
     "@ past the number of cursors the library counts, while @: drawing programs that look only at the counted ones "
     "miss a pen or puck, whose pressure or buttons then do not work. Tell the driver's maker.",
     CursorSlots},
    {"cursor-slot-failed", Severity::warning,
     "Asking for a cursor past the counted ones made the library @; a drawing program that looks for more cursors "
     "does the same (the report was asked first and is not affected). Tell the driver's maker.",
     SlotsStuck},
    {"axis-promised", Severity::warning,
     "The tablet promises @ but does not describe its range, so drawing programs cannot scale it and ignore it or "
     "get it wrong. Tell the driver's maker.",
     AxisPromised},
    {"cursor-data-beyond-device", Severity::warning,
     "A cursor promises data that no tablet device sends (@): drawing programs that trust the cursor wait for "
     "values that never come or misread the pen's packets. Tell the driver's maker.",
     CursorMaskBeyondDevice},
    {"no-pressure", Severity::warning,
     "The tablet sends no usable pen pressure, so drawing programs draw every stroke at one strength. Check the pen's "
     "pressure settings in the driver, reinstall or update the driver; if that does not help, tell its maker.",
     NoPressure},
    {"no-pressure", Severity::note,
     "A device without pressure whose cursors are, by their own answers, no pressure devices (a finger or a puck): "
     "strokes made with them have one strength, as expected. Nothing to do.",
     NoPressureByNature},
    {"screen-mismatch", Severity::warning,
     "The tablet maps the pen to the area @, but the screen is @, so the cursor lands away from the pen tip or parts "
     "of the screen cannot be reached (often with several monitors). Set the monitor mapping in the driver's "
     "settings again, or restart the driver after changing monitors.",
     ScreenMismatch},
    {"context-device-beyond", Severity::problem,
     "The tablet's default settings name a device that does not exist, so drawing programs that open the tablet "
     "with them get no pen input or fail. Tell the driver's maker.",
     ContextDeviceBeyond},
    {"wrong-size", Severity::problem,
     "The library gave @ of the wrong size: drawing programs read such answers as laid out and get wrong values or "
     "crash. "
     "Tell the driver's maker.",
     WrongSize},
    {"size-disagrees", Severity::warning,
     "@ got one size from the library when asked how large the answer is and another with the answer itself: "
     "drawing programs that make room for the first read too little or past their room. Tell the driver's maker.",
     SizeDisagrees},
    {"probe-beyond-buffer", Severity::warning,
     "The library says @ larger than the 131072 bytes programs make room for, so the report could not read @, and "
     "drawing programs that believe it run out of memory or fail. Tell the driver's maker.",
     ProbeBeyondBuffer},
    {"text-unterminated", Severity::warning,
     "@ room without an ending zero, so drawing programs that show @ read past the end: garbled names or a crash. "
     "Tell the driver's maker.",
     TextUnterminated},
    {"entry-point-missing", Severity::problem,
     "The tablet library has no @: @. Reinstall the tablet driver; if that does not help, tell its maker.",
     EntryPointMissing},
    {"report-full", Severity::warning,
     "The report ran out of room, so @ are not in it: counts this large are most likely wrong, and drawing programs "
     "that walk through them slow down or run out of memory. Tell the driver's maker.",
     ReportFull},
    {"contained-faults", Severity::problem,
     "@ crashed inside the library (Safe Mode caught @): a drawing program that asks the same crashes. Update the "
     "tablet driver; if that does not help, tell its maker and send this report.",
     ContainedFaults},
    {"hung", Severity::problem,
     "The library stopped answering and the test hung: a drawing program that asks the same freezes. Restart the "
     "tablet driver or the computer; if it happens again, tell the driver's maker and send this report.",
     Hung},
    {"hard-exception", Severity::problem,
     "@: a drawing program that asks the same crashes. Update the tablet driver; if that does not "
     "help, tell its maker and send this report.",
     HardException},
    {"library-outside-system", Severity::warning,
     "The tablet library was loaded from outside the system's folders: a stray copy may stand in for the driver's "
     "own, and programs then see another tablet or none. Remove the copy beside the program, or reinstall the "
     "driver.",
     LibraryOutside},
    {"other-edition-missing", Severity::warning,
     "The tablet library for programs of the other width (32- or 64-bit) is missing, so those drawing programs find "
     "no tablet. Reinstall the tablet driver with both editions.",
     OtherEditionMissing},
    {"other-edition-differs", Severity::warning,
     "The tablet libraries for 32- and 64-bit programs come from different drivers or versions, so the same pen "
     "behaves differently from one drawing program to the next. Remove the old driver and reinstall the current "
     "one.",
     OtherEditionDiffers},
    {"log-incomplete", Severity::note,
     "The run was too large to keep whole (@ kept), so these findings rest on what was kept.", LogIncomplete},
};

std::u16string Fill(const char* sentence, const Details& details) {
  std::u16string out;
  size_t next = 0;
  for (const char* c = sentence; *c != 0; ++c) {
    if (*c == '@' && next < details.size()) {
      out += details[next++];
    } else {
      out += static_cast<char16_t>(*c);
    }
  }
  return out;
}

// A finding names at most this many rows; past them, how many more.
constexpr size_t kShownRows = 8;

}  // namespace

size_t LongestIdentifier() {
  size_t longest = 0;
  for (const Rule& rule : kRules) {
    const size_t length = std::strlen(rule.identifier);
    longest = length > longest ? length : longest;
  }
  return longest;
}

std::vector<Finding> Diagnose(const DiagnosisInput& input) {
  std::vector<Finding> findings;
  for (const Rule& rule : kRules) {
    Findings found;
    rule.check(input, found);
    for (Found& one : found) {
      if (one.rows.size() > kShownRows) {
        const size_t more = one.rows.size() - (kShownRows - 1);
        one.rows.resize(kShownRows - 1);
        one.rows.push_back(Counted(more, u"more row", u"more rows"));
      }
      findings.push_back({rule.severity, rule.identifier, Fill(rule.sentence, one.fill), one.rows});
    }
  }
  return findings;
}
