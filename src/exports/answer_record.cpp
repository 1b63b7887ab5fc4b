#include "exports/answer_record.h"

#include "exports/record_lines.h"
#include "exports/recording_format.h"
#include "format/hex_digits.h"
#include "report/answer_facts.h"
#include "format/utf8_encoding.h"
#include "version/version.h"
#include "wintab/wintab_binding.h"

#ifdef _WIN32
constexpr bool kFaultCodesAreSignals = false;
#else
#include <csignal>
constexpr bool kFaultCodesAreSignals = true;
#endif

namespace {

std::string Hex(uint32_t value, int digits) { return "0x" + HexDigits(value, digits, true); }

// The simulated library's action that raises the same fault, as the guard
// sees it: its exception code on Windows, its signal on posix.
std::string FaultAction(uint32_t code) {
  constexpr uint32_t kCppException = 0xE06D7363u;
  if (kFaultCodesAreSignals) {
#ifndef _WIN32
    if (code == SIGSEGV || code == SIGBUS) return "segv";
    if (code == SIGILL) return "ill";
    if (code == SIGFPE) return "fpe";
#endif
    if (code == kCppException) return "raise";  // the posix library throws
  } else {
    if (code == 0xC0000005u) return "segv";
    if (code == 0xC000001Du) return "ill";
    if (code == 0xC0000094u) return "fpe";
  }
  return "raise:" + Hex(code, 8);
}

std::string CategoryName(uint32_t category) {
  using namespace wintab;
  if (category == kAvailability) return "availability";
  if (category == WTI_INTERFACE) return "interface";
  if (category == WTI_DEFCONTEXT) return "defcontext";
  if (category == WTI_DEFSYSCTX) return "defsysctx";
  if (category >= WTI_CURSORS && category - WTI_CURSORS <= 99999) return "cursor:" + std::to_string(category - WTI_CURSORS);
  if (category >= WTI_DEVICES && category - WTI_DEVICES <= 99) return "device:" + std::to_string(category - WTI_DEVICES);
  return std::to_string(category);
}

// The row's Wintab name when the profile format knows it for the category.
std::string IndexName(const AnswerLogEntry& entry) {
  const std::string label = entry.rowLabel != nullptr ? ToUtf8(entry.rowLabel, std::char_traits<char16_t>::length(entry.rowLabel)) : "";
  const std::string prefix = label.substr(0, 4);
  const bool fits = (prefix == "IFC_" && entry.category == wintab::WTI_INTERFACE) ||
                    (prefix == "DVC_" && entry.category >= wintab::WTI_DEVICES && entry.category < wintab::WTI_CURSORS) ||
                    (prefix == "CSR_" && entry.category >= wintab::WTI_CURSORS);
  return fits ? label : std::to_string(entry.index);
}

// A quoted string of the profile format: printable ASCII as it is, the rest
// as \uXXXX units.
std::string Quoted(const char16_t* text, size_t units) {
  std::string out = "\"";
  for (size_t i = 0; i < units; ++i) {
    const char16_t unit = text[i];
    if (unit == u'"' || unit == u'\\') {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit >= 0x20 && unit < 0x7F) {
      out += static_cast<char>(unit);
    } else {
      out += "\\u" + HexDigits(unit, 4, true);
    }
  }
  return out + "\"";
}

// An answer that is one NUL-terminated UTF-16 text of no control units.
bool IsOneText(const uint8_t* bytes, uint32_t length) {
  if (length < 4 || length % 2 != 0 || bytes[length - 1] != 0 || bytes[length - 2] != 0) return false;
  for (uint32_t i = 0; i + 2 < length; i += 2) {
    if (bytes[i + 1] == 0 && bytes[i] < 0x20) return false;
  }
  return true;
}

// The values of an item: a text, one u32, or bytes (u8, runs as fill).
std::string EncodeAnswer(const uint8_t* bytes, uint32_t length) {
  if (length == 0) return " empty";
  if (length == 2) return " u16 " + Hex(static_cast<uint32_t>(bytes[0] | (bytes[1] << 8)), 4);
  if (length == 4) {
    const uint32_t value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return " u32 " + Hex(value, 8);
  }
  if (IsOneText(bytes, length)) {
    std::u16string text;
    for (uint32_t i = 0; i + 2 < length; i += 2) text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    return " text " + Quoted(text.data(), text.size());
  }
  constexpr uint32_t kRunWorthFill = 16;
  constexpr int kBytesPerLine = 16;
  std::string out;
  int onLine = kBytesPerLine;
  bool inBytes = false;
  for (uint32_t at = 0; at < length;) {
    // A run of one repeated UTF-16 unit (a long text of one letter).
    uint32_t units = 0;
    while (at + 2 * units + 1 < length && bytes[at + 2 * units] == bytes[at] && bytes[at + 2 * units + 1] == bytes[at + 1]) {
      ++units;
    }
    if (units >= kRunWorthFill && bytes[at] != bytes[at + 1]) {
      const uint32_t unit = bytes[at] | (bytes[at + 1] << 8);
      out += " \\\n  fill " + std::to_string(2 * units) + " u16 " + Hex(unit, 4);
      inBytes = false;
      onLine = kBytesPerLine;
      at += 2 * units;
      continue;
    }
    uint32_t run = 1;
    while (at + run < length && bytes[at + run] == bytes[at]) ++run;
    if (run >= kRunWorthFill) {
      out += " \\\n  fill " + std::to_string(run) + " u8 " + Hex(bytes[at], 2);
      inBytes = false;
      onLine = kBytesPerLine;
      at += run;
      continue;
    }
    if (onLine == kBytesPerLine) {
      out += " \\\n  u8";
      onLine = 0;
      inBytes = true;
    } else if (!inBytes) {
      out += " u8";
      inBytes = true;
    }
    out += " " + Hex(bytes[at], 2);
    ++onLine;
    ++at;
  }
  return out;
}

struct Writer {
  const RunOutcome& outcome;
  bool hung;
  std::string text;

  // A call that never returned: the test hung in it, or a fault escaped.
  std::string Unreturned() const { return hung ? "hang" : FaultAction(outcome.hardExceptionCode); }

  void Behaviour(const std::string& target, const char* phase, const CallRecord& call, uint32_t itemLength) {
    std::string action;
    if (call.state == CallState::faulted) action = FaultAction(call.faultCode);
    if (call.state == CallState::underway) action = Unreturned();
    if (call.state == CallState::returned && call.count != itemLength) action = "count=" + std::to_string(call.count);
    if (!action.empty()) text += "on   " + target + " " + phase + " " + action + "\n";
  }

  void Query(const AnswerLog& log, const AnswerLogEntry& entry) {
    uint32_t number = 0;
    const char16_t* section = SectionOf(entry.category, &number);
    text += "\n# ";
    if (section != nullptr) {
      text += ToUtf8(section, std::char_traits<char16_t>::length(section));
      if (section[std::char_traits<char16_t>::length(section) - 1] == u'+') text += std::to_string(number);
      text += " ";
    }
    text += entry.rowLabel != nullptr ? ToUtf8(entry.rowLabel, std::char_traits<char16_t>::length(entry.rowLabel)) : "";
    text += "\n";
    const std::string target = CategoryName(entry.category) + " " + IndexName(entry);
    uint32_t itemLength = 0;
    if (entry.real.state == CallState::returned) {
      itemLength = entry.bytesLength;
      text += "item " + target + EncodeAnswer(AnswerBytes(log, entry), entry.bytesLength) + "\n";
    }
    Behaviour(target, "probe", entry.probe, itemLength);
    Behaviour(target, "real", entry.real, itemLength);
  }

  void Identity(const LibraryIdentity& library) {
    if (!library.path.found) return;  // the version strings were not read
    const LoggedText* versions[] = {&library.fileVersion, &library.companyName};
    const char* keys[] = {"FileVersion", "CompanyName"};
    for (int k = 0; k < 2; ++k) {
      const LoggedText& value = *versions[k];
      text += std::string("version ") + keys[k] + " " +
              (value.found ? Quoted(value.text, std::char_traits<char16_t>::length(value.text)) : "none") + "\n";
    }
  }
};

std::string OptionsLine(const ReportSwitches& switches) {
  std::string line;
  if (!switches.safeMode) line += " --no-safe-mode";
  if (switches.noNullBuffer) line += " --no-null-buffer";
  if (switches.overrideCounts) line += " --override-counts";
  if (!switches.showContextDevice) line += " --no-context-device";
  if (switches.ignoreNullQuery) line += " --ignore-probe";
  return line;
}

void AppendTextOrNone(std::string& out, const LoggedText& text) {
  out += text.found ? Quoted(text.text, std::char_traits<char16_t>::length(text.text)) : "none";
}

// "system <name> " before the fact's value.
void AppendFact(std::string& out, const char* name) {
  out += "system ";
  out += name;
  out += ' ';
}

// The machine the diagnosis judged; a replay judges these, not its own.
void AppendSystem(std::string& text, const SystemFacts& system, const LibraryIdentity& library) {
  const bool replayed = system.replayed;
  AppendFact(text, recorded::kEdition);
  AppendDecimal(text, sizeof(void*) * 8);
  AppendFact(text += '\n', recorded::kDesktop);
  const platform::DesktopBounds& desktop = system.desktop;
  AppendDecimal(text, desktop.left);
  AppendField(text, "", desktop.top);
  AppendField(text, "", desktop.width);
  AppendField(text, "", desktop.height);
  const struct {
    const char* name;
    const LoggedText& text;
  } texts[] = {{recorded::kLibraryPath, replayed ? system.libraryPath : library.path},
               {recorded::kLibraryFileVersion, replayed ? system.libraryFileVersion : library.fileVersion},
               {recorded::kLibraryCompanyName, replayed ? system.libraryCompanyName : library.companyName},
               {recorded::kOtherFileVersion, system.otherFileVersion},
               {recorded::kOtherCompanyName, system.otherCompanyName}};
  const size_t textCount = system.otherEditionApplies && system.otherEditionExists ? 5 : 3;
  for (size_t k = 0; k < textCount; ++k) {
    AppendFact(text += '\n', texts[k].name);
    AppendTextOrNone(text, texts[k].text);
  }
  AppendFact(text += '\n', recorded::kInSystemFolder);
  text += system.libraryInSystemFolder ? "yes" : "no";
  AppendFact(text += '\n', recorded::kOtherEdition);
  if (system.otherEditionApplies) {
    text += Quoted(system.otherEditionPath.data(), system.otherEditionPath.size());
    AppendFact(text += '\n', recorded::kOtherExists);
    text += system.otherEditionExists ? "yes" : "no";
  } else {
    text += "none";
  }
  text += '\n';
}

bool Asked(const AnswerLog* log, uint32_t category, uint32_t index) {
  return log != nullptr && facts::Find(*log, category, index) != nullptr;
}

// The diagnosis's questions past the cursor count, those the report did not ask.
void AppendSlots(std::string& text, const AnswerLog& log, const CursorSlotProbe& slots) {
  Writer writer{slots.outcome, !slots.ended, {}};
  for (uint32_t i = 0; i < slots.log.entryCount; ++i) {
    const AnswerLogEntry& entry = slots.log.entries[i];
    if (entry.step == LoggedStep::query && !Asked(&log, entry.category, entry.index)) writer.Query(slots.log, entry);
  }
  if (writer.text.empty()) return;
  text += "\n# The diagnosis's questions past IFC_NCURSORS\n";
  text += writer.text;
}

// The pen check: the answers it read that nothing before asked, its calls
// and its packets.
void AppendPen(std::string& text, const AnswerLog& log, const CursorSlotProbe* slots, const PenRecord& pen) {
  text += "\n# The pen check\n";
  for (const PenRecordedAnswer& answer : pen.answers) {
    if (Asked(&log, answer.category, answer.index) ||
        Asked(slots != nullptr ? &slots->log : nullptr, answer.category, answer.index)) {
      continue;
    }
    text += "item " + CategoryName(answer.category);
    AppendField(text, "", answer.index);
    text += EncodeAnswer(answer.bytes.data(), static_cast<uint32_t>(answer.bytes.size()));
    text += '\n';
  }
  // A recording without a script would replay the simulated default stroke.
  text += "packet none\n";
  text += pen.lines;
}

}  // namespace

bool RecordProfile(const AnswerLog& log, const RunOutcome& outcome, bool hung, const ReportSwitches& switches,
                   std::string& profile, std::string& error, const RecordingExtras& extras) {
  if (!AnswerLogIsComplete(log)) {
    error = "the answers do not fit the recording's room; nothing recorded";
    return false;
  }
  const bool loadHung = hung && log.entryCount == 1 && log.entries[0].real.state == CallState::underway;
  if (!log.library.loaded && !loadHung) {
    error = "WINTAB32.DLL was not loaded; nothing recorded";
    return false;
  }
  Writer writer{outcome, hung, {}};
  std::string& text = writer.text;
  text += std::string(kRecordingFormatName) + " " + std::to_string(kRecordingFormatVersion) + "\n";
  text += "# PADSCOPE tablet recording, made by padscope-report " PADSCOPE_VERSION_TEXT "\n";
  text += "# Replay it with: padscope-report --replay <this file>\n";
  text += "options" + OptionsLine(switches) + extras.options + "\n";
  if (extras.system != nullptr) AppendSystem(text, *extras.system, log.library);
  writer.Identity(log.library);
  for (size_t k = 0; k < kLoggedEntryPoints; ++k) {
    if (log.library.entryPointsLookedUp && !log.library.entryPointFound[k]) {
      text += std::string("lacks ") + kLoggedEntryPointNames[k] + "\n";
    }
  }
  for (uint32_t i = 0; i < log.entryCount; ++i) {
    const AnswerLogEntry& entry = log.entries[i];
    switch (entry.step) {
      case LoggedStep::load:
        if (entry.real.state == CallState::underway) text += hung ? "load hang\n" : "# the load faulted: not replayable\n";
        break;
      case LoggedStep::availability:
        text += "\n# WTInfoW(0,0,0)\n";
        writer.Behaviour("availability 0", "probe", entry.probe, 0);
        break;
      case LoggedStep::query: writer.Query(log, entry); break;
      case LoggedStep::release:
        if (entry.real.state == CallState::underway && hung) {
          text += "\nrelease hang\n";
        } else if (entry.real.state != CallState::returned || entry.real.count == 0) {
          text += "\n# the release failed or faulted: not replayable\n";
        }
        break;
    }
  }
  if (extras.slots != nullptr && extras.slots->ran) AppendSlots(text, log, *extras.slots);
  if (extras.pen != nullptr && extras.pen->ran) AppendPen(text, log, extras.slots, *extras.pen);
  text += std::string("\n") + kRecordingEnd + "\n";
#ifdef _WIN32
  profile.clear();
  for (const char c : text) {
    if (c == '\n') profile += '\r';
    profile += c;
  }
#else
  profile = std::move(text);
#endif
  return true;
}
