// The rules of --diagnose over hand-built answer logs: each rule has a run
// that gives its finding and a near miss that must not, with no library in
// the loop. Every run starts from one small healthy tablet (one device, one
// cursor, a complete report) that its row then changes.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "diagnosis/cursor_slots.h"
#include "diagnosis/diagnosis.h"
#include "exports/answer_record.h"
#include "exports/json_export.h"
#include "report/dialog_state.h"
#include "report/answer_log.h"
#include "wintab/wintab_binding.h"

namespace {

using namespace wintab;

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (const char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// The rows the report labels, as the log keeps their labels.
const char16_t* LabelOf(LoggedStep step, uint32_t category, uint32_t index) {
  if (step == LoggedStep::load) return u"LoadLibrary(\"WINTAB32.DLL\")";
  if (step == LoggedStep::availability) return u"WTInfoW(0,0,0)";
  if (step == LoggedStep::release) return u"FreeLibrary()";
  if (category == WTI_DEFCONTEXT || category == WTI_DEFSYSCTX) return u"(0)";
  struct Label {
    bool cursor;
    uint32_t index;
    const char16_t* text;
  };
  static const Label kLabels[] = {
      {false, DVC_PKTDATA, u"DVC_PKTDATA"},        {false, DVC_Z, u"DVC_Z"},
      {false, DVC_NPRESSURE, u"DVC_NPRESSURE"},    {false, DVC_TPRESSURE, u"DVC_TPRESSURE"},
      {false, DVC_ORIENTATION, u"DVC_ORIENTATION"}, {false, DVC_PNPID, u"DVC_PNPID"},
      {true, CSR_NAME, u"CSR_NAME"},
      {true, CSR_ACTIVE, u"CSR_ACTIVE"},           {true, CSR_PKTDATA, u"CSR_PKTDATA"},
  };
  if (category == WTI_INTERFACE) return index == IFC_NDEVICES ? u"IFC_NDEVICES" : u"IFC_NCURSORS";
  for (const Label& label : kLabels) {
    if (label.cursor == (category >= WTI_CURSORS) && label.index == index) return label.text;
  }
  return nullptr;
}

AnswerLogEntry& NewStep(AnswerLog& log, LoggedStep step, uint32_t category = 0, uint32_t index = 0) {
  EXPECT_LT(log.entryCount, log.entryCapacity) << "the test's log is too small";
  AnswerLogEntry& entry = log.entries[log.entryCount++];
  entry = AnswerLogEntry{};
  entry.step = step;
  entry.category = category;
  entry.index = index;
  entry.rowLabel = LabelOf(step, category, index);
  return entry;
}

AnswerLogEntry* Lookup(AnswerLog& log, uint32_t category, uint32_t index) {
  for (uint32_t i = 0; i < log.entryCount; ++i) {
    AnswerLogEntry& entry = log.entries[i];
    if (entry.step == LoggedStep::query && entry.category == category && entry.index == index) return &entry;
  }
  return nullptr;
}

// A query that both calls answered with `size` bytes (an empty answer when
// 0): replaces the answer of a row already asked, or asks a new one.
AnswerLogEntry& Answer(AnswerLog& log, uint32_t category, uint32_t index, const void* data, uint32_t size) {
  AnswerLogEntry* entry = Lookup(log, category, index);
  if (entry == nullptr) entry = &NewStep(log, LoggedStep::query, category, index);
  entry->probe = CallRecord{CallState::returned, size, 0};
  entry->real = CallRecord{CallState::returned, size, 0};
  entry->bytesLost = false;
  entry->bytesLength = 0;
  if (size > 0) {
    EXPECT_LE(size, log.byteCapacity - log.bytesUsed) << "the test's log is too small";
    std::memcpy(log.bytes + log.bytesUsed, data, size);
    entry->bytesOffset = log.bytesUsed;
    entry->bytesLength = size;
    log.bytesUsed += size;
  }
  return *entry;
}

void AnswerU32(AnswerLog& log, uint32_t category, uint32_t index, uint32_t value) {
  Answer(log, category, index, &value, sizeof(value));
}

void AnswerAxis(AnswerLog& log, uint32_t device, uint32_t index, int32_t min, int32_t max) {
  AXIS axis{};
  axis.axMin = min;
  axis.axMax = max;
  Answer(log, WTI_DEVICES + device, index, &axis, sizeof(axis));
}

// Everything a rule reads: the log of a complete report of a healthy
// tablet, its outcome, and a system that agrees with it.
struct TestedRun {
  static constexpr uint32_t kPacketData = 0x05E7;  // context .. y, NORMAL_PRESSURE; no Z, tangent or orientation
  AnswerLogEntry entries[64];
  uint8_t bytes[4096];
  AnswerLog log{};
  RunOutcome outcome{RunEnding::complete, 0, 0};
  bool hung = false;
  bool safeMode = true;
  std::unique_ptr<CursorSlotProbe> slots;
  SystemFacts system;

  TestedRun() {
    AttachAnswerLogStorage(log, entries, sizeof(entries) / sizeof(entries[0]), bytes, sizeof(bytes));
    NewStep(log, LoggedStep::load).real = CallRecord{CallState::returned, 1, 0};
    NewStep(log, LoggedStep::availability).probe = CallRecord{CallState::returned, 80, 0};
    AnswerU32(log, WTI_INTERFACE, IFC_NDEVICES, 1);
    AnswerU32(log, WTI_INTERFACE, IFC_NCURSORS, 1);
    ChangeContext(WTI_DEFCONTEXT, [](LOGCONTEXTW&) {});
    ChangeContext(WTI_DEFSYSCTX, [](LOGCONTEXTW&) {});
    AddDevice(0, kPacketData);
    AddCursor(0, true, kPacketData);
    NewStep(log, LoggedStep::release).real = CallRecord{CallState::returned, 1, 0};
    LibraryIdentity& library = log.library;
    library.loaded = true;
    library.entryPointsLookedUp = true;
    for (bool& found : library.entryPointFound) found = true;
    CopyText(library.path, u"/usr/lib/WINTAB32.DLL");
    CopyText(library.fileVersion, u"1.0.0.1");
    CopyText(library.companyName, u"Bench");
    system.desktop = platform::DesktopBounds{0, 0, 1920, 1080};
    system.libraryInSystemFolder = true;
  }
  TestedRun(const TestedRun&) = delete;
  TestedRun& operator=(const TestedRun&) = delete;

  static void CopyText(LoggedText& into, const char16_t* text) {
    into.found = true;
    std::u16string(text).copy(into.text, kLoggedTextUnits - 1);
    into.text[std::u16string(text).size()] = 0;
  }

  // A device with these packet data, a pressure axis 0..1023 and no other axis.
  void AddDevice(uint32_t device, uint32_t packetData) {
    AnswerU32(log, WTI_DEVICES + device, DVC_PKTDATA, packetData);
    Answer(log, WTI_DEVICES + device, DVC_Z, nullptr, 0);
    AnswerAxis(log, device, DVC_NPRESSURE, 0, 1023);
    Answer(log, WTI_DEVICES + device, DVC_TPRESSURE, nullptr, 0);
    Answer(log, WTI_DEVICES + device, DVC_ORIENTATION, nullptr, 0);
  }

  // Device 0 and cursor 0 without NORMAL_PRESSURE (0x01E7: context .. y).
  void WithoutPressure() {
    AnswerU32(log, WTI_DEVICES, DVC_PKTDATA, 0x01E7);
    AnswerU32(log, WTI_CURSORS, CSR_PKTDATA, 0x01E7);
  }

  void AddCursor(uint32_t cursor, bool active, uint32_t packetData) {
    Answer(log, WTI_CURSORS + cursor, CSR_NAME, u"Pen", 8);
    AnswerU32(log, WTI_CURSORS + cursor, CSR_ACTIVE, active ? 1 : 0);
    AnswerU32(log, WTI_CURSORS + cursor, CSR_PKTDATA, packetData);
  }

  // A context of the healthy tablet (device 0, its packet data, the whole
  // desktop) as `change` leaves it.
  template <class Change>
  void ChangeContext(uint32_t category, Change change) {
    LOGCONTEXTW context{};
    if (const AnswerLogEntry* kept = Lookup(log, category, 0)) {
      std::memcpy(&context, AnswerBytes(log, *kept), sizeof(context));
    } else {
      context.lcPktData = kPacketData;
      context.lcSysExtX = 1920;
      context.lcSysExtY = 1080;
    }
    change(context);
    Answer(log, category, 0, &context, sizeof(context));
  }

  AnswerLogEntry& At(uint32_t category, uint32_t index) {
    AnswerLogEntry* entry = Lookup(log, category, index);
    EXPECT_NE(entry, nullptr) << "no row " << category << "/" << index << " in the test's log";
    return entry != nullptr ? *entry : entries[0];
  }

  // The run stopped in this row: the steps after it were never made.
  void EndAt(uint32_t category, uint32_t index) {
    log.entryCount = static_cast<uint32_t>(&At(category, index) - entries) + 1;
  }

  // A fault escaped every guard in this row's real call and ended the run.
  void FaultEscapedAt(uint32_t category, uint32_t index) {
    At(category, index).real = CallRecord{CallState::underway, 0, 0};
    EndAt(category, index);
    outcome = RunOutcome{RunEnding::hardException, 0, 0xC0000005u};
  }

  // A run that stopped at its load, as a new log.
  void LoadOnly(CallState state, uint32_t count) {
    ResetAnswerLog(log);
    NewStep(log, LoggedStep::load).real = CallRecord{state, count, 0};
  }

  // The cursor slots [first, first + count) asked after the report, none
  // answering yet.
  CursorSlotProbe& AskSlots(uint32_t first, uint32_t count) {
    slots = std::make_unique<CursorSlotProbe>();
    CursorSlotProbe& probe = *slots;
    AttachAnswerLogStorage(probe.log, probe.entries, sizeof(probe.entries) / sizeof(probe.entries[0]), probe.bytes,
                           sizeof(probe.bytes));
    probe.ran = true;
    probe.ended = true;
    probe.firstSlot = first;
    probe.slotCount = count;
    NewStep(probe.log, LoggedStep::load).real = CallRecord{CallState::returned, 1, 0};
    for (uint32_t k = 0; k < count; ++k) Answer(probe.log, WTI_CURSORS + first + k, CSR_NAME, nullptr, 0);
    NewStep(probe.log, LoggedStep::release).real = CallRecord{CallState::returned, 1, 0};
    probe.outcome.ending = RunEnding::complete;
    return probe;
  }

  std::vector<Finding> Findings() const { return Diagnose(DiagnosisInput{log, outcome, hung, slots.get(), system, safeMode}); }
};

// The severities of README's table of rules (no-pressure is a note for a
// device whose cursors are no pressure devices: the row then says so).
Severity SeverityOf(const std::string& identifier) {
  static const char* const kWarnings[] = {"cursor-beyond-count", "cursor-slot-failed", "axis-promised",
                                          "cursor-data-beyond-device", "no-pressure", "screen-mismatch",
                                          "library-outside-system", "other-edition-missing",
                                          "other-edition-differs", "size-disagrees", "probe-beyond-buffer",
                                          "text-unterminated", "report-full"};
  if (identifier == "log-incomplete") return Severity::note;
  for (const char* warning : kWarnings) {
    if (identifier == warning) return Severity::warning;
  }
  return Severity::problem;
}

struct RuleRow {
  const char* name;
  void (*change)(TestedRun& run);
  std::vector<std::string> identifiers;  // every finding, in the order of the rules; "(note)" etc. when not its usual severity
  std::vector<std::string> says;         // texts that the findings' lines (sentence and rows) hold
};

TEST(diagnosis_rules, each_rule_finds_its_case_and_passes_over_its_near_miss) {
  const RuleRow rows[] = {
      {"a healthy tablet", [](TestedRun&) {}, {}, {}},

      // no-library, no-wtinfo, no-interface: how the run ended.
      {"the library did not load",
       [](TestedRun& run) {
         run.LoadOnly(CallState::returned, 0);
         run.log.library = LibraryIdentity{};
         run.log.library.loadError = 126;
         run.outcome.ending = RunEnding::noLibrary;
       },
       {"no-library"},
       {"LoadLibrary(\"WINTAB32.DLL\") failed with error 126"}},
      {"near miss: the load hung",
       [](TestedRun& run) {
         run.LoadOnly(CallState::underway, 0);
         run.log.library = LibraryIdentity{};
         run.outcome.ending = RunEnding::running;
         run.hung = true;
       },
       {"hung"},
       {"The library stopped answering and the test hung", "Rows: LoadLibrary(\"WINTAB32.DLL\"): the load never returned."}},
      {"no WTInfoW",
       [](TestedRun& run) {
         run.LoadOnly(CallState::returned, 1);
         run.outcome.ending = RunEnding::noInfoEntry;
       },
       {"no-wtinfo"},
       {}},
      {"the availability probe answers 0",
       [](TestedRun& run) {
         run.log.entryCount = 2;
         run.log.entries[1].probe.count = 0;
         run.outcome.ending = RunEnding::probeZero;
       },
       {"no-interface"},
       {}},
      {"near miss: the availability probe faulted",
       [](TestedRun& run) {
         run.log.entryCount = 2;
         run.log.entries[1].probe = CallRecord{CallState::faulted, 0, 11};
         run.outcome = RunOutcome{RunEnding::probeFaulted, 1, 0};
       },
       {"contained-faults"},
       {"1 question crashed inside the library (Safe Mode caught it)", "WTInfoW(0,0,0): the size probe faulted ("}},

      // no-devices, no-cursors: a count of 0 while the probe answers.
      {"IFC_NDEVICES 0", [](TestedRun& run) { AnswerU32(run.log, WTI_INTERFACE, IFC_NDEVICES, 0); },
       {"no-devices"},
       {"Rows: WTI_INTERFACE IFC_NDEVICES is 0; WTInfoW(0,0,0) answers 80."}},
      {"near miss: IFC_NDEVICES faulted",
       [](TestedRun& run) {
         AnswerLogEntry& count = run.At(WTI_INTERFACE, IFC_NDEVICES);
         count.real = CallRecord{CallState::faulted, 0, 11};
         count.bytesLength = 0;
         run.outcome.containedFaults = 1;
       },
       {"contained-faults"},
       {"WTI_INTERFACE IFC_NDEVICES: the real call faulted ("}},
      {"IFC_NCURSORS 0", [](TestedRun& run) { AnswerU32(run.log, WTI_INTERFACE, IFC_NCURSORS, 0); },
       {"no-cursors"},
       {"WTI_INTERFACE IFC_NCURSORS is 0; WTInfoW(0,0,0) answers 80"}},
      {"near miss: IFC_NCURSORS 0 and the probe ignored at 0",
       [](TestedRun& run) {
         AnswerU32(run.log, WTI_INTERFACE, IFC_NCURSORS, 0);
         run.log.entries[1].probe.count = 0;
       },
       {"no-interface"},
       {}},

      // no-active-cursor.
      {"the only cursor inactive", [](TestedRun& run) { AnswerU32(run.log, WTI_CURSORS, CSR_ACTIVE, 0); },
       {"no-active-cursor"},
       {"Rows: WTI_CURSOR+0 CSR_ACTIVE is FALSE."}},
      {"near miss: a second cursor active",
       [](TestedRun& run) {
         AnswerU32(run.log, WTI_CURSORS, CSR_ACTIVE, 0);
         run.AddCursor(1, true, TestedRun::kPacketData);
       },
       {},
       {}},

      // cursor-beyond-count and cursor-slot-failed: the slots past the count.
      {"a slot past the count answers, a counted cursor has no name",
       [](TestedRun& run) {
         Answer(run.log, WTI_CURSORS, CSR_NAME, nullptr, 0);
         Answer(run.AskSlots(1, 5).log, WTI_CURSORS + 2, CSR_NAME, u"Puck", 10);
       },
       {"cursor-beyond-count"},
       {"A cursor answers past the number of cursors the library counts, while a counted one has no name:",
        "Rows: WTI_INTERFACE IFC_NCURSORS is 1; WTI_CURSOR+2 CSR_NAME answers; WTI_CURSOR+0 CSR_NAME answers nothing."}},
      {"near miss: a slot past the count answers, every counted cursor named",
       [](TestedRun& run) { Answer(run.AskSlots(1, 5).log, WTI_CURSORS + 2, CSR_NAME, u"Puck", 10); }, {}, {}},
      {"a count of 0 and slot 0 answers",
       [](TestedRun& run) {
         AnswerU32(run.log, WTI_INTERFACE, IFC_NCURSORS, 0);
         Answer(run.AskSlots(0, 3).log, WTI_CURSORS, CSR_NAME, u"Pen", 8);
       },
       {"no-cursors", "cursor-beyond-count"},
       {"while the library counts none:", "WTI_CURSOR+0 CSR_NAME answers."}},
      {"a slot question faulted",
       [](TestedRun& run) {
         run.AskSlots(1, 5);
         run.slots->log.entries[3].real = CallRecord{CallState::faulted, 0, 11};
       },
       {"cursor-slot-failed"},
       {"made the library crash;", "Rows: WTI_CURSOR+3 CSR_NAME: the real call faulted."}},
      {"a slot question hung",
       [](TestedRun& run) {
         run.AskSlots(1, 5);
         Answer(run.slots->log, WTI_CURSORS + 1, CSR_NAME, u"Pen", 8);
         run.slots->log.entries[2].probe = CallRecord{CallState::underway, 0, 0};
         run.slots->log.entryCount = 3;
         run.slots->ended = false;
       },
       {"cursor-slot-failed"},
       {"made the library hang;", "Rows: WTI_CURSOR+2 CSR_NAME: the size probe hung."}},
      {"near miss: the slots answer nothing", [](TestedRun& run) { run.AskSlots(1, 5); }, {}, {}},

      // axis-promised: exactly the bit promised, on any device.
      {"a pressure axis without a range",
       [](TestedRun& run) { AnswerAxis(run.log, 0, DVC_NPRESSURE, 0, 0); },
       {"axis-promised", "no-pressure"},
       {"The tablet promises pen pressure but does not describe its range",
        "Rows: WTI_DEVICE+0 DVC_PKTDATA promises NORMAL_PRESSURE; WTI_DEFCONTEXT (0) lcPktData promises "
        "NORMAL_PRESSURE; WTI_DEFSYSCTX (0) lcPktData promises NORMAL_PRESSURE; WTI_CURSOR+0 CSR_PKTDATA promises "
        "NORMAL_PRESSURE; WTI_DEVICE+0 DVC_NPRESSURE has no answer",
        "Rows: WTI_DEVICE+0 DVC_NPRESSURE has max 0, not above its min 0."}},
      {"near miss: a pressure axis with a range of one",
       [](TestedRun& run) { AnswerAxis(run.log, 0, DVC_NPRESSURE, 5, 6); }, {}, {}},
      {"the second device promises Z",
       [](TestedRun& run) {
         AnswerU32(run.log, WTI_INTERFACE, IFC_NDEVICES, 2);
         run.AddDevice(1, TestedRun::kPacketData | 0x0200);
       },
       {"axis-promised"},
       {"The tablet promises the pen's height above the tablet but",
        "Rows: WTI_DEVICE+1 DVC_PKTDATA promises Z; WTI_DEVICE+1 DVC_Z has no answer, a wrong size or no range."}},
      {"near miss: the second device describes its Z",
       [](TestedRun& run) {
         AnswerU32(run.log, WTI_INTERFACE, IFC_NDEVICES, 2);
         run.AddDevice(1, TestedRun::kPacketData | 0x0200);
         AnswerAxis(run.log, 1, DVC_Z, 0, 1023);
       },
       {},
       {}},
      {"nine cursors and the device promise Z: seven rows shown, then how many more",
       [](TestedRun& run) {
         AnswerU32(run.log, WTI_DEVICES, DVC_PKTDATA, TestedRun::kPacketData | 0x0200);
         for (uint32_t cursor = 1; cursor <= 9; ++cursor) run.AddCursor(cursor, true, TestedRun::kPacketData | 0x0200);
       },
       {"axis-promised"},
       {"Rows: WTI_DEVICE+0 DVC_PKTDATA promises Z; WTI_CURSOR+1 CSR_PKTDATA promises Z; WTI_CURSOR+2 CSR_PKTDATA "
        "promises Z; WTI_CURSOR+3 CSR_PKTDATA promises Z; WTI_CURSOR+4 CSR_PKTDATA promises Z; WTI_CURSOR+5 "
        "CSR_PKTDATA promises Z; WTI_CURSOR+6 CSR_PKTDATA promises Z; 4 more rows."}},
      {"the pressure axis's bytes found no room in the log",
       [](TestedRun& run) {
         AnswerLogEntry& axis = run.At(WTI_DEVICES, DVC_NPRESSURE);
         axis.bytesLost = true;
         axis.bytesLength = 0;
       },
       {"axis-promised", "log-incomplete"},
       {"The tablet promises pen pressure but"}},
      {"the run hung before the pressure axis was asked",
       [](TestedRun& run) {
         run.At(WTI_DEVICES, DVC_Z).real = CallRecord{CallState::underway, 0, 0};
         run.EndAt(WTI_DEVICES, DVC_Z);
         run.outcome.ending = RunEnding::running;
         run.hung = true;
       },
       {"hung"},
       {"Rows: WTI_DEVICE+0 DVC_Z: the real call never returned."}},

      // A DVC_PKTDATA of another size than four bytes is no bit set.
      {"DVC_PKTDATA of two bytes",
       [](TestedRun& run) {
         const uint16_t mask = 0;
         AnswerLogEntry& data = Answer(run.log, WTI_DEVICES, DVC_PKTDATA, &mask, sizeof(mask));
         data.sizeRefused = true;
         data.expectedSize = 4;
       },
       {"wrong-size"},
       {"The library gave 1 answer of the wrong size:", "Rows: WTI_DEVICE+0 DVC_PKTDATA (2 bytes, expected 4)."}},

      // cursor-data-beyond-device: against all devices together.
      {"the cursor's packet data has ROTATION",
       [](TestedRun& run) { AnswerU32(run.log, WTI_CURSORS, CSR_PKTDATA, TestedRun::kPacketData | 0x2000); },
       {"cursor-data-beyond-device"},
       {"no tablet device sends (ROTATION)",
        "Rows: WTI_CURSOR+0 CSR_PKTDATA is 0x000025e7 and has ROTATION; every device's DVC_PKTDATA together is "
        "0x000005e7."}},
      {"near miss: ROTATION comes from the second device",
       [](TestedRun& run) {
         AnswerU32(run.log, WTI_CURSORS, CSR_PKTDATA, TestedRun::kPacketData | 0x2000);
         AnswerU32(run.log, WTI_INTERFACE, IFC_NDEVICES, 2);
         run.AddDevice(1, 0x2400);
       },
       {},
       {}},

      // no-pressure: a warning while a pen may be among the device's
      // cursors, a note when none of them is a pressure device.
      {"a device without NORMAL_PRESSURE whose cursor describes a pressure curve",
       [](TestedRun& run) {
         run.WithoutPressure();
         const uint32_t curve[2] = {0, 1023};
         Answer(run.log, WTI_CURSORS, CSR_NPRESPONSE, curve, sizeof(curve));
       },
       {"no-pressure"},
       {"The tablet sends no usable pen pressure", "Rows: WTI_DEVICE+0 DVC_PKTDATA has no NORMAL_PRESSURE; "
        "WTI_CURSOR+0 CSR_PKTDATA fits it, and the cursor describes pressure."}},
      {"a device without NORMAL_PRESSURE whose cursor has a pressure button",
       [](TestedRun& run) {
         run.WithoutPressure();
         const uint8_t marks[2] = {0, 1};
         Answer(run.log, WTI_CURSORS, CSR_NPBTNMARKS, marks, sizeof(marks));
       },
       {"no-pressure"},
       {}},
      {"a device without NORMAL_PRESSURE and no cursor its packet data carry",
       [](TestedRun& run) { AnswerU32(run.log, WTI_DEVICES, DVC_PKTDATA, 0x01E7); },
       {"cursor-data-beyond-device", "no-pressure"},
       {"Rows: WTI_DEVICE+0 DVC_PKTDATA has no NORMAL_PRESSURE."}},
      {"a touch device: its only cursor is no pressure device",
       [](TestedRun& run) {
         run.WithoutPressure();
         Answer(run.log, WTI_CURSORS, CSR_NPBTNMARKS, nullptr, 0);
         Answer(run.log, WTI_CURSORS, CSR_NPRESPONSE, nullptr, 0);
       },
       {"no-pressure(note)"},
       {"no pressure devices (a finger or a puck)", "WTI_CURSOR+0 CSR_PKTDATA fits it, has no NORMAL_PRESSURE, and "
        "CSR_NPBTNMARKS and CSR_NPRESPONSE answer nothing."}},

      // screen-mismatch.
      {"a system context narrower than the desktop",
       [](TestedRun& run) { run.ChangeContext(WTI_DEFSYSCTX, [](LOGCONTEXTW& c) { c.lcSysExtX = 1280; }); },
       {"screen-mismatch"},
       {"maps the pen to the area 0,0 1280x1080, but the screen is 0,0 1920x1080,",
        "Rows: WTI_DEFSYSCTX (0) lcSysOrgX,lcSysOrgY lcSysExtX x lcSysExtY is 0,0 1280x1080; the desktop the program "
        "sees is 0,0 1920x1080."}},
      {"near miss: a system context upside down",
       [](TestedRun& run) { run.ChangeContext(WTI_DEFSYSCTX, [](LOGCONTEXTW& c) { c.lcSysExtY = -1080; }); }, {}, {}},
      {"near miss: only the digitizing context differs",
       [](TestedRun& run) { run.ChangeContext(WTI_DEFCONTEXT, [](LOGCONTEXTW& c) { c.lcSysOrgX = 100; }); }, {}, {}},

      // context-device-beyond, at the boundary.
      {"lcDevice 2 of 2 devices",
       [](TestedRun& run) {
         AnswerU32(run.log, WTI_INTERFACE, IFC_NDEVICES, 2);
         run.AddDevice(1, TestedRun::kPacketData);
         run.ChangeContext(WTI_DEFSYSCTX, [](LOGCONTEXTW& c) { c.lcDevice = 2; });
       },
       {"context-device-beyond"},
       {"Rows: WTI_DEFSYSCTX (0) lcDevice is 2; WTI_INTERFACE IFC_NDEVICES is 2."}},
      {"near miss: lcDevice 1 of 2 devices",
       [](TestedRun& run) {
         AnswerU32(run.log, WTI_INTERFACE, IFC_NDEVICES, 2);
         run.AddDevice(1, TestedRun::kPacketData);
         run.ChangeContext(WTI_DEFSYSCTX, [](LOGCONTEXTW& c) { c.lcDevice = 1; });
       },
       {},
       {}},

      // contained-faults, hung, hard-exception.
      {"a contained fault in a size probe",
       [](TestedRun& run) {
         run.At(WTI_DEVICES, DVC_Z).probe = CallRecord{CallState::faulted, 0, 0xC0000005u};
         run.At(WTI_DEVICES, DVC_Z).real = CallRecord{CallState::notMade, 0, 0};
         run.outcome.containedFaults = 1;
       },
       {"contained-faults"},
       {"1 question crashed inside the library (Safe Mode caught it)",
        "Rows: WTI_DEVICE+0 DVC_Z: the size probe faulted (exception 0xc0000005)."}},
      {"hung in a cursor row",
       [](TestedRun& run) {
         run.At(WTI_CURSORS, CSR_PKTDATA).real = CallRecord{CallState::underway, 0, 0};
         run.EndAt(WTI_CURSORS, CSR_PKTDATA);
         run.outcome.ending = RunEnding::running;
         run.hung = true;
       },
       {"hung"},
       {"Rows: WTI_CURSOR+0 CSR_PKTDATA: the real call never returned."}},
      {"hung with no call under way",
       [](TestedRun& run) {
         run.EndAt(WTI_CURSORS, CSR_PKTDATA);
         run.outcome.ending = RunEnding::running;
         run.hung = true;
       },
       {"hung"},
       {"Rows: the step after WTI_CURSOR+0 CSR_PKTDATA: no call into the library."}},
      {"a fault escaped Safe Mode",
       [](TestedRun& run) {
         run.FaultEscapedAt(WTI_CURSORS, CSR_PKTDATA);
       },
       {"hard-exception"},
       {"A fault inside the library escaped Safe Mode and ended the report:",
        "Rows: WTI_CURSOR+0 CSR_PKTDATA: the real call never returned."}},
      {"a fault with Safe Mode off",
       [](TestedRun& run) {
         run.FaultEscapedAt(WTI_CURSORS, CSR_PKTDATA);
         run.safeMode = false;
       },
       {"hard-exception"},
       {"A fault inside the library ended the report (Safe Mode was off, so nothing caught it):"}},
      {"near miss: the watchdog ended the run first",
       [](TestedRun& run) {
         run.FaultEscapedAt(WTI_CURSORS, CSR_PKTDATA);
         run.hung = true;
       },
       {"hung"},
       {}},

      // Where the library lies.
      {"the library outside the system's folders",
       [](TestedRun& run) { run.system.libraryInSystemFolder = false; },
       {"library-outside-system"},
       {"Rows: loaded from /usr/lib/WINTAB32.DLL."}},
      {"near miss: the library's path unknown",
       [](TestedRun& run) {
         run.system.libraryInSystemFolder = false;
         run.log.library.path.found = false;
       },
       {},
       {}},
      {"no other edition",
       [](TestedRun& run) {
         run.system.otherEditionApplies = true;
         run.system.otherEditionPath = u"/usr/lib32/WINTAB32.DLL";
       },
       {"other-edition-missing"},
       {"Rows: there is no /usr/lib32/WINTAB32.DLL."}},
      {"another FileVersion in the other edition",
       [](TestedRun& run) {
         run.system.otherEditionApplies = true;
         run.system.otherEditionExists = true;
         run.system.otherEditionPath = u"/usr/lib32/WINTAB32.DLL";
         TestedRun::CopyText(run.system.otherFileVersion, u"1.0.0.2");
         TestedRun::CopyText(run.system.otherCompanyName, u"Bench");
       },
       {"other-edition-differs"},
       {"Rows: /usr/lib32/WINTAB32.DLL has FileVersion \"1.0.0.2\" and CompanyName \"Bench\"; the loaded library has "
        "FileVersion \"1.0.0.1\" and CompanyName \"Bench\"."}},
      {"near miss: the same edition on both sides",
       [](TestedRun& run) {
         run.system.otherEditionApplies = true;
         run.system.otherEditionExists = true;
         run.system.otherEditionPath = u"/usr/lib32/WINTAB32.DLL";
         TestedRun::CopyText(run.system.otherFileVersion, u"1.0.0.1");
         TestedRun::CopyText(run.system.otherCompanyName, u"Bench");
       },
       {},
       {}},

      // size-disagrees: the size probe and the real call of one question.
      {"the size probe of CSR_NAME says 46 bytes, the real call 8",
       [](TestedRun& run) { run.At(WTI_CURSORS, CSR_NAME).probe.count = 46; },
       {"size-disagrees"},
       {"One question got one size from the library", "Rows: WTI_CURSOR+0 CSR_NAME: the size probe answered 46, the "
        "real call 8."}},
      {"near miss: no size probe (No null-buffer)",
       [](TestedRun& run) { run.At(WTI_CURSORS, CSR_NAME).probe = CallRecord{CallState::notMade, 0, 0}; }, {}, {}},

      // probe-beyond-buffer: the real call is then not made.
      {"a size probe of 131073 bytes",
       [](TestedRun& run) {
         AnswerLogEntry& name = Answer(run.log, WTI_CURSORS, CSR_NAME, nullptr, 0);
         name.probe.count = kMaxAnswerBytes + 1;
         name.real = CallRecord{CallState::notMade, 0, 0};
       },
       {"probe-beyond-buffer"},
       {"The library says an answer is larger than the 131072 bytes programs make room for, so the report could not "
        "read it,",
        "Rows: WTI_CURSOR+0 CSR_NAME: the size probe answered 131073."}},
      {"near miss: a size probe of exactly 131072 bytes",
       [](TestedRun& run) {
         AnswerLogEntry& name = Answer(run.log, WTI_CURSORS, CSR_NAME, nullptr, 0);
         name.probe.count = kMaxAnswerBytes;
         name.real = CallRecord{CallState::notMade, 0, 0};
       },
       {},
       {}},

      // text-unterminated: no zero unit (two zero bytes at an even offset).
      {"a cursor name of four units, none zero",
       [](TestedRun& run) { Answer(run.log, WTI_CURSORS, CSR_NAME, u"Pens", 8); },
       {"text-unterminated"},
       {"A name fills its room without an ending zero, so drawing programs that show it read past the end",
        "Rows: WTI_CURSOR+0 CSR_NAME: 8 bytes without a zero unit."}},
      {"zero bytes that straddle two units are no terminator",
       [](TestedRun& run) {
         const uint8_t bytes[4] = {'A', 0, 0, 'B'};
         Answer(run.log, WTI_DEVICES, DVC_PNPID, bytes, sizeof(bytes));
       },
       {"text-unterminated"},
       {"Rows: WTI_DEVICE+0 DVC_PNPID: 4 bytes without a zero unit."}},
      {"near miss: the zero unit is the last one",
       [](TestedRun& run) { Answer(run.log, WTI_CURSORS, CSR_NAME, u"Pen", 8); }, {}, {}},
      {"near miss: a four-byte answer of a row that is no text",
       [](TestedRun& run) { AnswerU32(run.log, WTI_CURSORS, CSR_ACTIVE, 0x00410041); }, {}, {}},

      // entry-point-missing: by name, each with what stops working.
      {"no WTPacketsGet and no WTOpenW",
       [](TestedRun& run) {
         run.log.library.entryPointFound[1] = false;
         run.log.library.entryPointFound[4] = false;
       },
       {"entry-point-missing", "entry-point-missing"},
       {"The tablet library has no WTOpenW: drawing programs cannot open the tablet", "Rows: WTOpenW() not found.",
        "The tablet library has no WTPacketsGet: drawing programs that collect the pen's movements get none",
        "Rows: WTPacketsGet() not found."}},
      {"near miss: the entry points not looked up (no WTInfoW)",
       [](TestedRun& run) {
         run.LoadOnly(CallState::returned, 1);
         run.log.library.loaded = true;
         run.outcome.ending = RunEnding::noInfoEntry;
       },
       {"no-wtinfo"},
       {}},

      // report-full: the first row past the text's room; the counts say what was lost.
      {"the report full in cursor 0 of 3",
       [](TestedRun& run) {
         AnswerU32(run.log, WTI_INTERFACE, IFC_NCURSORS, 3);
         run.At(WTI_CURSORS, CSR_ACTIVE).textEnd = kReportBodyUnits + 1;
       },
       {"report-full"},
       {"The report ran out of room, so 2 of the 3 cursors are not in it:",
        "Rows: the report is full at WTI_CURSOR+0 CSR_ACTIVE; WTI_INTERFACE IFC_NDEVICES is 1, 1 asked; WTI_INTERFACE "
        "IFC_NCURSORS is 3, 1 asked."}},
      {"near miss: the text ends exactly at its room",
       [](TestedRun& run) { run.At(WTI_CURSORS, CSR_ACTIVE).textEnd = kReportBodyUnits; }, {}, {}},

      // log-incomplete: the healthy log holds 15 steps.
      {"steps found no room in the log", [](TestedRun& run) { run.log.entriesLost = 2; },
       {"log-incomplete"},
       {"The run was too large to keep whole (15 steps kept), so these findings rest on what was kept."}},
  };
  for (const RuleRow& row : rows) {
    auto run = std::make_unique<TestedRun>();
    row.change(*run);
    const std::vector<Finding> findings = run->Findings();
    std::vector<std::string> identifiers;
    std::string sentences;
    for (const Finding& finding : findings) {
      const bool usual = finding.severity == SeverityOf(finding.identifier);
      identifiers.push_back(finding.identifier + (usual ? "" : "(" + std::string(SeverityName(finding.severity)) + ")"));
      sentences += Narrow(FindingText(finding)) + "\n";
    }
    EXPECT_EQ(identifiers, row.identifiers) << row.name << "\n" << sentences;
    for (const std::string& text : row.says) {
      EXPECT_NE(sentences.find(text), std::string::npos) << row.name << ": no finding says '" << text << "'\n"
                                                         << sentences;
    }
  }
}

// Every sentence ends in a full stop, and a count agrees with its noun for
// one and for two of a kind.
TEST(diagnosis_rules, sentences_end_in_a_full_stop_and_counts_agree_for_one_and_many) {
  struct Row {
    const char* name;
    void (*change)(TestedRun& run, uint32_t n);  // n of the kind (1 or 2)
    const char* one;
    const char* two;
  };
  static const uint32_t kAxes[2] = {DVC_Z, DVC_TPRESSURE};
  static const Row rows[] = {
      {"contained faults",
       [](TestedRun& run, uint32_t n) {
         for (uint32_t k = 0; k < n; ++k) run.At(WTI_DEVICES, kAxes[k]).probe = CallRecord{CallState::faulted, 0, 11};
       },
       "1 question crashed inside the library (Safe Mode caught it)",
       "2 questions crashed inside the library (Safe Mode caught them)"},
      {"wrong sizes",
       [](TestedRun& run, uint32_t n) {
         for (uint32_t k = 0; k < n; ++k) run.At(WTI_DEVICES, kAxes[k]).sizeRefused = true;
       },
       "The library gave 1 answer of the wrong size", "The library gave 2 answers of the wrong size"},
      {"sizes that disagree",
       [](TestedRun& run, uint32_t n) {
         for (uint32_t k = 0; k < n; ++k) run.At(WTI_DEVICES, kAxes[k]).probe.count = 2;
       },
       "One question got one size", "2 questions got one size"},
      {"size probes past the buffer",
       [](TestedRun& run, uint32_t n) {
         for (uint32_t k = 0; k < n; ++k) {
           run.At(WTI_DEVICES, kAxes[k]).probe.count = kMaxAnswerBytes + 1;
           run.At(WTI_DEVICES, kAxes[k]).real = CallRecord{CallState::notMade, 0, 0};
         }
       },
       "says an answer is larger than the 131072 bytes programs make room for, so the report could not read it,",
       "says answers are larger than the 131072 bytes programs make room for, so the report could not read them,"},
      {"names without a terminator",
       [](TestedRun& run, uint32_t n) {
         Answer(run.log, WTI_CURSORS, CSR_NAME, u"Pens", 8);
         if (n == 2) Answer(run.log, WTI_DEVICES, DVC_PNPID, u"PNP0", 8);
       },
       "A name fills its room without an ending zero, so drawing programs that show it read",
       "Names fill their room without an ending zero, so drawing programs that show them read"},
      {"cursors past the count",
       [](TestedRun& run, uint32_t n) {
         Answer(run.log, WTI_CURSORS, CSR_NAME, nullptr, 0);
         CursorSlotProbe& probe = run.AskSlots(1, 5);
         for (uint32_t k = 0; k < n; ++k) Answer(probe.log, WTI_CURSORS + 2 + k, CSR_NAME, u"Puck", 10);
       },
       "A cursor answers past the number", "2 cursors answer past the number"},
      {"counted cursors without a name",
       [](TestedRun& run, uint32_t n) {
         AnswerU32(run.log, WTI_INTERFACE, IFC_NCURSORS, 2);
         run.AddCursor(1, true, TestedRun::kPacketData);
         for (uint32_t k = 0; k < n; ++k) Answer(run.log, WTI_CURSORS + k, CSR_NAME, nullptr, 0);
         Answer(run.AskSlots(2, 4).log, WTI_CURSORS + 3, CSR_NAME, u"Puck", 10);
       },
       "while a counted one has no name:", "while 2 counted ones have no name:"},
      {"steps kept",
       [](TestedRun& run, uint32_t n) {
         run.log.entryCount = n;
         run.log.entriesLost = 1;
         run.outcome.ending = RunEnding::running;
       },
       "(1 step kept)", "(2 steps kept)"},
  };
  // A count of one before a plural noun, of two before a singular one.
  const std::regex pluralAfterOne(R"((^|[^+\w])1 (questions|answers|calls|steps|cursors|devices|bytes|names|findings)\b)");
  const std::regex singularAfterTwo(R"((^|[^+\w])2 (question|answer|call|step|cursor|device|byte|name|finding)\b)");
  for (const Row& row : rows) {
    for (uint32_t n = 1; n <= 2; ++n) {
      auto run = std::make_unique<TestedRun>();
      row.change(*run, n);
      const std::vector<Finding> findings = run->Findings();
      std::string all;
      for (const Finding& finding : findings) {
        const std::string sentence = Narrow(finding.sentence);
        all += sentence + "\n";
        EXPECT_EQ(sentence.back(), '.') << row.name << " " << n << ": " << sentence;
        const std::string line = Narrow(FindingText(finding));
        EXPECT_FALSE(std::regex_search(line, pluralAfterOne)) << row.name << " " << n << ": " << line;
        EXPECT_FALSE(std::regex_search(line, singularAfterTwo)) << row.name << " " << n << ": " << line;
      }
      EXPECT_NE(all.find(n == 1 ? row.one : row.two), std::string::npos) << row.name << " " << n << ":\n" << all;
      const std::string section = Narrow(DiagnosisSection(findings));
      EXPECT_FALSE(std::regex_search(section, pluralAfterOne)) << section;
    }
  }
}

// The sentences stand in one column, one blank after the longest
// identifier (cursor-data-beyond-device, 25 characters) and the severity's 9.
TEST(diagnosis_rules, the_sentences_start_in_one_column_past_the_longest_identifier) {
  constexpr size_t kColumn = 9 + 25 + 1;
  EXPECT_EQ(LongestIdentifier(), 25u);
  const std::vector<Finding> findings = {
      {Severity::problem, "hung", u"A.", {}},
      {Severity::warning, "cursor-data-beyond-device", u"B.", {u"r"}},
      {Severity::note, "log-incomplete", u"C.", {}},
  };
  const std::string section = Narrow(DiagnosisSection(findings));
  const char* const lines[] = {"problem  hung", "warning  cursor-data-beyond-device", "note     log-incomplete"};
  const char* const texts[] = {"A.\r\n", "B. Rows: r.\r\n", "C.\r\n"};
  for (size_t i = 0; i < 3; ++i) {
    std::string line = lines[i];
    line.resize(kColumn, ' ');
    EXPECT_NE(section.find(line + texts[i]), std::string::npos) << section;
  }
}

// The slots past a count: up to the next multiple of three at or above the
// count and three more, the category of the last one still a number.
TEST(diagnosis_rules, the_slots_past_the_count_end_three_past_the_next_multiple_of_three) {
  constexpr uint32_t kTop = 0xFFFFFFFFu - WTI_CURSORS;  // past it, WTI_CURSORS + slot would wrap
  constexpr uint32_t kLastMultiple = kTop - 1;
  static_assert(kLastMultiple % 3 == 0);
  struct Row {
    uint32_t count;
    uint32_t end;
  };
  static const Row rows[] = {
      {0, 3},
      {1, 6},
      {2, 6},
      {3, 6},
      {4, 9},
      {kLastMultiple - 3, kLastMultiple},  // the last end that needs no cut
      {kLastMultiple - 5, kLastMultiple},
      {kLastMultiple - 2, kTop},  // three more would pass the top
      {kTop, kTop},
      {0xFFFFFFFFu, kTop},
  };
  for (const Row& row : rows) EXPECT_EQ(ProbedSlotsEnd(row.count), row.end) << "count " << row.count;
}

// A log that lost steps or answer bytes says so to every reader: the rules
// add their note, --record refuses, --json marks it.
TEST(diagnosis_rules, an_incomplete_log_is_said_to_be_so_by_each_reader) {
  struct Row {
    const char* name;
    void (*change)(TestedRun& run);
    bool complete;
  };
  static const Row rows[] = {
      {"every step and byte kept", [](TestedRun&) {}, true},
      {"steps lost", [](TestedRun& run) { run.log.entriesLost = 1; }, false},
      {"an answer's bytes lost",
       [](TestedRun& run) {
         AnswerLogEntry& name = run.At(WTI_CURSORS, CSR_NAME);
         name.bytesLost = true;
         name.bytesLength = 0;
       },
       false},
  };
  for (const Row& row : rows) {
    auto run = std::make_unique<TestedRun>();
    row.change(*run);
    bool noted = false;
    for (const Finding& finding : run->Findings()) noted = noted || std::string(finding.identifier) == "log-incomplete";
    EXPECT_EQ(noted, !row.complete) << row.name;
    std::string profile;
    std::string error;
    EXPECT_EQ(RecordProfile(run->log, run->outcome, false, ReportSwitches{}, profile, error), row.complete)
        << row.name << ": " << error;
    const std::string json = ExportJson(run->log, run->outcome, false, 0, ReportSwitches{}, u"");
    const std::string marked = std::string("\"logComplete\": ") + (row.complete ? "true" : "false");
    EXPECT_NE(json.find(marked), std::string::npos) << row.name;
  }
}

}  // namespace
