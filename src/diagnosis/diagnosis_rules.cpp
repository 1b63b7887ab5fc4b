// The rules of --diagnose, in one table: each row has its identifier, its
// severity, its sentence (each "@" is filled with the next detail the check
// gives, naming the rows the finding rests on) and its check. Adding a rule
// is adding a row.
#include <cstring>

#include "diagnosis/diagnosis.h"
#include "diagnosis/load_error.h"
#include "format/hex_digits.h"
#include "format/value_format.h"
#include "wintab/wintab_binding.h"

namespace {

using namespace wintab;
using namespace facts;
using Details = std::vector<std::u16string>;  // one finding: the texts for its "@"s
using Findings = std::vector<Details>;

std::u16string Text(const std::string& ascii) {
  std::u16string out;
  for (const char c : ascii) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  return out;
}
std::u16string Number(int64_t value) { return Text(std::to_string(value)); }
std::u16string Hex(uint32_t value) { return Text("0x" + HexDigits(value, 8, false)); }

// "a, b and c"; past `shown` items "and N more".
std::u16string ListOf(const std::vector<std::u16string>& items, size_t shown = 6) {
  std::u16string out;
  const size_t listed = items.size() > shown ? shown : items.size();
  for (size_t i = 0; i < listed; ++i) {
    if (i > 0) out += (i + 1 == listed && listed == items.size()) ? u" and " : u", ";
    out += items[i];
  }
  if (items.size() > listed) out += u" and " + Number(static_cast<int64_t>(items.size() - listed)) + u" more";
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

std::u16string Bytes(uint32_t count) { return Number(count) + (count == 1 ? u" byte" : u" bytes"); }

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

// The axes that the packet-data bits promise, and the device row that
// describes each (the orientation row holds three records).
struct PromisedAxis {
  uint32_t bit;
  uint32_t index;
  uint32_t records;
};
constexpr PromisedAxis kPromisedAxes[] = {
    {0x0200, DVC_Z, 1},
    {0x0400, DVC_NPRESSURE, 1},
    {0x0800, DVC_TPRESSURE, 1},
    {0x1000, DVC_ORIENTATION, 3},
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

// ---- The checks ------------------------------------------------------------

void NoLibrary(const DiagnosisInput& in, Findings& out) {
  if (!in.hung && in.outcome.ending == RunEnding::noLibrary) {
    out.push_back({Number(in.log.library.loadError), LoadErrorMeaning(in.log.library.loadError)});
  }
}

void NoInfoEntry(const DiagnosisInput& in, Findings& out) {
  if (!in.hung && in.outcome.ending == RunEnding::noInfoEntry) out.push_back({});
}

void NoInterface(const DiagnosisInput& in, Findings& out) {
  const AnswerLogEntry* probe = Availability(in.log);
  if (probe != nullptr && probe->probe.state == CallState::returned && probe->probe.count == 0) out.push_back({});
}

// A count of 0 although the availability probe answers.
void ZeroCount(const DiagnosisInput& in, Findings& out, uint32_t index) {
  const AnswerLogEntry* probe = Availability(in.log);
  const AnswerLogEntry* row = Find(in.log, WTI_INTERFACE, index);
  if (probe == nullptr || probe->probe.state != CallState::returned || probe->probe.count == 0) return;
  if (row == nullptr || Faulted(*row) || Underway(*row) || CountOf(in.log, row) != 0) return;
  out.push_back({Row(row), Number(probe->probe.count)});
}
void NoDevices(const DiagnosisInput& in, Findings& out) { ZeroCount(in, out, IFC_NDEVICES); }
void NoCursors(const DiagnosisInput& in, Findings& out) { ZeroCount(in, out, IFC_NCURSORS); }

void NoActiveCursor(const DiagnosisInput& in, Findings& out) {
  std::vector<std::u16string> rows;
  for (const uint32_t cursor : Numbers(in.log, WTI_CURSORS, 0xFFFFFFFFu)) {
    const AnswerLogEntry* active = Find(in.log, WTI_CURSORS + cursor, CSR_ACTIVE);
    if (active == nullptr) continue;
    uint32_t value = 0;
    if (ReadUint32(in.log, active, value) && value != 0) return;
    rows.push_back(Row(active));
  }
  if (!rows.empty()) out.push_back({ListOf(rows)});
}

void CursorSlots(const DiagnosisInput& in, Findings& out) {
  const CursorSlotProbe* probe = in.slots;
  if (probe == nullptr || !probe->ran || !probe->ended) return;
  std::vector<std::u16string> answering;
  for (uint32_t i = 0; i < probe->log.entryCount; ++i) {
    const AnswerLogEntry& entry = probe->log.entries[i];
    if (entry.step == LoggedStep::query && Answered(&entry)) answering.push_back(Row(&entry));
  }
  if (answering.empty()) return;
  std::vector<std::u16string> empty;
  for (uint32_t cursor = 0; cursor < probe->firstSlot; ++cursor) {
    const AnswerLogEntry* name = Find(in.log, WTI_CURSORS + cursor, CSR_NAME);
    if (name != nullptr && !Answered(name)) empty.push_back(Row(name));
  }
  if (probe->firstSlot != 0 && empty.empty()) return;  // every counted cursor is there: extra ones do no harm
  const std::u16string inside = probe->firstSlot == 0 ? u"there is no cursor inside the count"
                                                      : ListOf(empty) + u" inside the count answer nothing";
  out.push_back({Number(probe->firstSlot), ListOf(answering), inside});
}

void SlotsStuck(const DiagnosisInput& in, Findings& out) {
  const CursorSlotProbe* probe = in.slots;
  if (probe == nullptr || !probe->ran) return;
  for (uint32_t i = 0; i < probe->log.entryCount; ++i) {
    const AnswerLogEntry& entry = probe->log.entries[i];
    if (!Faulted(entry) && !Underway(entry)) continue;
    const bool stuck = Underway(entry);
    out.push_back({stuck ? (probe->ended ? u"faulted past Safe Mode" : u"hung") : u"faulted",
                   Phase(entry, stuck ? CallState::underway : CallState::faulted), Row(&entry)});
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
      promises.push_back(Row(context) + u" lcPktData");
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
    out.push_back({ListOf(promises), BitNames(axis.bit), ListOf(missing)});
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
    out.push_back({Row(data), Hex(mask), BitNames(mask & ~deviceMask), Hex(deviceMask)});
  }
}

void NoPressure(const DiagnosisInput& in, Findings& out) {
  for (const uint32_t device : Numbers(in.log, WTI_DEVICES, WTI_CURSORS)) {
    uint32_t mask = 0;
    const AnswerLogEntry* data = Find(in.log, WTI_DEVICES + device, DVC_PKTDATA);
    if (!ReadUint32(in.log, data, mask)) continue;
    const AnswerLogEntry* axis = Find(in.log, WTI_DEVICES + device, DVC_NPRESSURE);
    if ((mask & kNormalPressureBit) == 0) {
      out.push_back({Row(data) + u" has no NORMAL_PRESSURE"});
      continue;
    }
    if (!Answered(axis) || axis->real.count != sizeof(AXIS) || axis->bytesLength < sizeof(AXIS)) continue;
    AXIS record;
    std::memcpy(&record, AnswerBytes(in.log, *axis), sizeof(record));
    if (record.axMax <= record.axMin) {
      out.push_back({Row(axis) + u" has max " + Number(record.axMax) + u", not above its min " + Number(record.axMin)});
    }
  }
}

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
    return Number(x) + u"," + Number(y) + u" " + Number(width) + u"x" + Number(height);
  };
  out.push_back({Row(entry), area(context.lcSysOrgX, context.lcSysOrgY, context.lcSysExtX, context.lcSysExtY),
                 area(desktop.left, desktop.top, desktop.width, desktop.height)});
}

void ContextDeviceBeyond(const DiagnosisInput& in, Findings& out) {
  LOGCONTEXTW context;
  const AnswerLogEntry* entry = Find(in.log, WTI_DEFSYSCTX, 0);
  const AnswerLogEntry* devices = Find(in.log, WTI_INTERFACE, IFC_NDEVICES);
  if (!ContextOf(in.log, entry, context) || !Answered(devices)) return;
  const uint32_t count = CountOf(in.log, devices);
  if (count == 0 || context.lcDevice < count) return;
  out.push_back({Row(entry), Number(context.lcDevice), Row(devices), Number(count)});
}

void WrongSize(const DiagnosisInput& in, Findings& out) {
  std::vector<std::u16string> rows;
  for (uint32_t i = 0; i < in.log.entryCount; ++i) {
    const AnswerLogEntry& entry = in.log.entries[i];
    if (!entry.sizeRefused) continue;
    rows.push_back(Row(&entry) + u" (" + Bytes(entry.real.count) + u", expected " +
                   (entry.expectedSize != 0 ? Number(entry.expectedSize) : std::u16string(u"a multiple of 4 up to 1024")) +
                   u")");
  }
  if (!rows.empty()) out.push_back({Number(static_cast<int64_t>(rows.size())), ListOf(rows)});
}

void ContainedFaults(const DiagnosisInput& in, Findings& out) {
  std::vector<std::u16string> rows;
  for (uint32_t i = 0; i < in.log.entryCount; ++i) {
    const AnswerLogEntry& entry = in.log.entries[i];
    if (!Faulted(entry)) continue;
    const CallRecord& call = entry.probe.state == CallState::faulted ? entry.probe : entry.real;
    rows.push_back(Row(&entry) + u" (" + Phase(entry, CallState::faulted) + u", " + FaultName(call.faultCode) + u")");
  }
  if (!rows.empty()) out.push_back({Number(static_cast<int64_t>(rows.size())), ListOf(rows)});
}

// The call that never returned: the hang, or the fault that escaped.
void Unreturned(const DiagnosisInput& in, Findings& out, bool hang) {
  if (hang ? !in.hung : (in.hung || in.outcome.ending != RunEnding::hardException)) return;
  for (uint32_t i = 0; i < in.log.entryCount; ++i) {
    const AnswerLogEntry& entry = in.log.entries[i];
    if (Underway(entry)) {
      out.push_back({Row(&entry), Phase(entry, CallState::underway)});
      return;
    }
  }
  const std::u16string last = in.log.entryCount > 0 ? Row(&in.log.entries[in.log.entryCount - 1]) : u"the start";
  out.push_back({u"the step after " + last, u"no call into the library"});
}
void Hung(const DiagnosisInput& in, Findings& out) { Unreturned(in, out, true); }
void HardException(const DiagnosisInput& in, Findings& out) { Unreturned(in, out, false); }

void LibraryOutside(const DiagnosisInput& in, Findings& out) {
  const LibraryIdentity& library = in.log.library;
  if (library.loaded && library.path.found && !in.system.libraryInSystemFolder) out.push_back({library.path.text});
}

std::u16string Value(const LoggedText& text) {
  return text.found ? u"\"" + std::u16string(text.text) + u"\"" : std::u16string(u"none");
}

void OtherEditionMissing(const DiagnosisInput& in, Findings& out) {
  if (in.log.library.loaded && in.system.otherEditionApplies && !in.system.otherEditionExists) {
    out.push_back({in.system.otherEditionPath});
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
  out.push_back({system.otherEditionPath, Value(system.otherFileVersion), Value(system.otherCompanyName),
                 Value(library.fileVersion), Value(library.companyName)});
}

void LogIncomplete(const DiagnosisInput& in, Findings& out) {
  if (!AnswerLogIsComplete(in.log)) out.push_back({Number(in.log.entryCount)});
}

struct Rule {
  const char* identifier;
  Severity severity;
  const char16_t* sentence;
  void (*check)(const DiagnosisInput& input, Findings& findings);
};

constexpr Rule kRules[] = {
    {"no-library", Severity::problem,
     u"LoadLibrary(\"WINTAB32.DLL\") failed with error @: @", NoLibrary},
    {"no-wtinfo", Severity::problem, u"WINTAB32.DLL has no WTInfoW() entry point: programs cannot ask it anything.",
     NoInfoEntry},
    {"no-interface", Severity::problem,
     u"WTInfoW(0,0,0) answers 0: the library says that no tablet interface is available.", NoInterface},
    {"no-devices", Severity::problem, u"@ is 0 although WTInfoW(0,0,0) answers @: programs find no tablet.", NoDevices},
    {"no-cursors", Severity::problem, u"@ is 0 although WTInfoW(0,0,0) answers @: programs find no pen or other cursor.",
     NoCursors},
    {"no-active-cursor", Severity::problem, u"No cursor is active: @ read FALSE or answer nothing.", NoActiveCursor},
    {"cursor-beyond-count", Severity::warning,
     u"Cursors answer beyond IFC_NCURSORS @: @ answer, while @; programs that ask only the counted cursors miss them.",
     CursorSlots},
    {"cursor-slot-failed", Severity::warning,
     u"Asking the cursor slots past the count @ in @ of @ (asked after the report, which is not affected).",
     SlotsStuck},
    {"axis-promised", Severity::warning,
     u"The packet data of @ promises @, but no such axis is described (@: no answer, a wrong size or no range).",
     AxisPromised},
    {"cursor-data-beyond-device", Severity::warning,
     u"@ is @ and has @, which no device's DVC_PKTDATA (together @) has.", CursorMaskBeyondDevice},
    {"no-pressure", Severity::warning, u"No pen pressure: @.", NoPressure},
    {"screen-mismatch", Severity::warning,
     u"@ maps the pen to lcSysOrgX,lcSysOrgY lcSysExtX x lcSysExtY @, but the desktop the program sees is @: the "
     u"cursor lands off the pen (often with several monitors).",
     ScreenMismatch},
    {"context-device-beyond", Severity::problem, u"@ names lcDevice @, beyond the devices of @ @.",
     ContextDeviceBeyond},
    {"wrong-size", Severity::problem, u"@ answers have the wrong size: @.", WrongSize},
    {"contained-faults", Severity::problem, u"@ calls faulted inside the library (Safe Mode contained them): @.",
     ContainedFaults},
    {"hung", Severity::problem, u"The test hung in @: @ never returned.", Hung},
    {"hard-exception", Severity::problem, u"A fault escaped Safe Mode in @ (@) and ended the report.", HardException},
    {"library-outside-system", Severity::warning,
     u"The library was loaded from @, outside the system's folders: a copy beside the program or a stray one may "
     u"shadow the driver's.",
     LibraryOutside},
    {"other-edition-missing", Severity::warning,
     u"There is no @: programs of the other bitness find no tablet library.", OtherEditionMissing},
    {"other-edition-differs", Severity::warning,
     u"@ has FileVersion @ and CompanyName @, the loaded library @ and @: 32- and 64-bit programs talk to different "
     u"drivers.",
     OtherEditionDiffers},
    {"log-incomplete", Severity::note, u"The answer log kept only @ steps: the findings rest on those.", LogIncomplete},
};

std::u16string Fill(const char16_t* sentence, const Details& details) {
  std::u16string out;
  size_t next = 0;
  for (const char16_t* c = sentence; *c != 0; ++c) {
    if (*c == u'@' && next < details.size()) {
      out += details[next++];
    } else {
      out += *c;
    }
  }
  return out;
}

}  // namespace

std::vector<Finding> Diagnose(const DiagnosisInput& input) {
  std::vector<Finding> findings;
  for (const Rule& rule : kRules) {
    Findings found;
    rule.check(input, found);
    for (const Details& details : found) findings.push_back({rule.severity, rule.identifier, Fill(rule.sentence, details)});
  }
  return findings;
}
