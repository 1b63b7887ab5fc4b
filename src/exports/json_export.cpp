#include "exports/json_export.h"

#include "exports/json_text.h"
#include "format/hex_digits.h"
#include "format/utf8_encoding.h"
#include "report/report_driver.h"
#include "version/version.h"

namespace {

void AppendJsonString(std::string& out, const std::string& utf8) {
  out += '"';
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      out += "\\u" + HexDigits(byte, 4, false);
    } else {
      out += c;
    }
  }
  out += '"';
}

std::string JsonText(const LoggedText& text) { return text.found ? JsonString(text.text) : "null"; }

std::string Hex32(uint32_t value) { return JsonHex32(value); }

std::string HexBytes(const uint8_t* bytes, uint32_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out = "\"";
  for (uint32_t i = 0; i < length; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out + "\"";
}

const char* Bool(bool value) { return value ? "true" : "false"; }

const char* EndingName(const RunOutcome& outcome, bool hung) {
  if (hung) return "hung";
  switch (outcome.ending) {
    case RunEnding::running: break;
    case RunEnding::complete: return "complete";
    case RunEnding::noLibrary: return "noLibrary";
    case RunEnding::noInfoEntry: return "noInfoEntry";
    case RunEnding::probeZero: return "probeZero";
    case RunEnding::probeFaulted: return "probeFaulted";
    case RunEnding::hardException: return "hardException";
  }
  return "running";
}

const char* StepName(LoggedStep step) {
  switch (step) {
    case LoggedStep::load: return "load";
    case LoggedStep::availability: return "availability";
    case LoggedStep::query: return "query";
    case LoggedStep::release: return "release";
  }
  return "";
}

// {"outcome": ..., "count"|"exceptionCode": ...} or null when not made.
std::string CallJson(const CallRecord& call, const RunOutcome& outcome, bool hung) {
  switch (call.state) {
    case CallState::notMade: return "null";
    case CallState::returned: return "{\"outcome\": \"returned\", \"count\": " + std::to_string(call.count) + "}";
    case CallState::faulted: return "{\"outcome\": \"exception\", \"exceptionCode\": " + Hex32(call.faultCode) + "}";
    case CallState::underway:
      if (hung) return "{\"outcome\": \"hung\"}";
      return "{\"outcome\": \"hardException\", \"exceptionCode\": " + Hex32(outcome.hardExceptionCode) + "}";
  }
  return "null";
}

}  // namespace

std::string JsonString(const char16_t* text, size_t units) {
  std::string out;
  AppendJsonString(out, ToUtf8(text, units));
  return out;
}

std::string JsonString(const char16_t* text) {
  return text == nullptr ? "null" : JsonString(text, std::char_traits<char16_t>::length(text));
}

std::string JsonHex32(uint32_t value) { return "\"0x" + HexDigits(value, 8, false) + "\""; }

std::string ExportJson(const AnswerLog& log, const RunOutcome& outcome, bool hung, int exitCode,
                       const ReportSwitches& switches, const std::u16string& report, const std::string& members) {
  std::string out = "{\n";
  out += "  \"program\": {\"name\": \"padscope-report\", \"version\": \"" PADSCOPE_VERSION_TEXT "\", \"build\": ";
  out += sizeof(void*) > 4 ? "\"x64\"" : "\"x86\"";
#ifdef _WIN32
  out += ", \"system\": \"windows\"";
#else
  out += ", \"system\": \"posix\"";
#endif
  out += ", \"header\": " + JsonString(kReportHeader) + "},\n";
  out += std::string("  \"options\": {\"safeMode\": ") + Bool(switches.safeMode) +
         ", \"noNullBuffer\": " + Bool(switches.noNullBuffer) + ", \"overrideCounts\": " + Bool(switches.overrideCounts) +
         ", \"showContextDevice\": " + Bool(switches.showContextDevice) +
         ", \"ignoreNullQuery\": " + Bool(switches.ignoreNullQuery) + "},\n";

  const LibraryIdentity& library = log.library;
  out += std::string("  \"library\": {\"loaded\": ") + Bool(library.loaded);
  // The error line's code, once the load has come back without a library.
  const bool loadFailed = !library.loaded && log.entryCount > 0 && log.entries[0].step == LoggedStep::load &&
                          log.entries[0].real.state != CallState::underway;
  out += ", \"loadError\": " + (loadFailed ? std::to_string(library.loadError) : std::string("null"));
  out += ", \"path\": " + JsonText(library.path);
  out += ", \"fileVersion\": " + JsonText(library.fileVersion);
  out += ", \"companyName\": " + JsonText(library.companyName);
  out += ", \"entryPoints\": ";
  if (!library.entryPointsLookedUp) {
    out += "null";
  } else {
    out += "{";
    for (size_t k = 0; k < kLoggedEntryPoints; ++k) {
      out += std::string(k == 0 ? "" : ", ") + "\"" + kLoggedEntryPointNames[k] + "\": " + Bool(library.entryPointFound[k]);
    }
    out += "}";
  }
  out += "},\n";

  out += "  \"calls\": [";
  for (uint32_t i = 0; i < log.entryCount; ++i) {
    const AnswerLogEntry& entry = log.entries[i];
    out += i == 0 ? "\n" : ",\n";
    out += std::string("    {\"step\": \"") + StepName(entry.step) + "\"";
    if (entry.step == LoggedStep::query || entry.step == LoggedStep::availability) {
      out += ", \"category\": " + std::to_string(entry.category) + ", \"index\": " + std::to_string(entry.index);
      uint32_t number = 0;
      const char16_t* section = SectionOf(entry.category, &number);
      std::u16string sectionName = section != nullptr ? section : u"";
      if (!sectionName.empty() && sectionName.back() == u'+') {
        for (char c : std::to_string(number)) sectionName += static_cast<char16_t>(c);
      }
      out += ", \"section\": " + (section != nullptr ? JsonString(sectionName.data(), sectionName.size()) : "null");
    }
    out += ", \"row\": " + JsonString(entry.rowLabel);
    if (entry.step != LoggedStep::load && entry.step != LoggedStep::release) {
      out += ", \"probe\": " + CallJson(entry.probe, outcome, hung);
    }
    if (entry.step != LoggedStep::availability) out += ", \"real\": " + CallJson(entry.real, outcome, hung);
    if (entry.step == LoggedStep::query) {
      // The answer is what the count says (as far as the buffer holds it);
      // what the library wrote past its count is kept apart.
      const uint8_t* bytes = AnswerBytes(log, entry);
      const uint32_t kept = bytes != nullptr ? entry.bytesLength : 0;
      const uint32_t answer = kept < entry.real.count ? kept : entry.real.count;
      const bool returned = entry.real.state == CallState::returned;
      out += ", \"bytes\": " + (returned ? HexBytes(bytes, answer) : std::string("null"));
      out += ", \"pastCount\": " + (returned && kept > answer ? HexBytes(bytes + answer, kept - answer) : std::string("null"));
    }
    const size_t begin = entry.textBegin < report.size() ? entry.textBegin : report.size();
    size_t end = entry.textEnd < report.size() ? entry.textEnd : report.size();
    // A call that never returned left its row open: it runs on to the
    // ending ("<hung>", "<hard exception>") before the final line break.
    if (entry.probe.state == CallState::underway || entry.real.state == CallState::underway) {
      end = report.size() >= 2 ? report.size() - 2 : report.size();
    }
    out += ", \"text\": " + JsonString(report.data() + begin, end > begin ? end - begin : 0) + "}";
  }
  out += log.entryCount == 0 ? "],\n" : "\n  ],\n";
  out += std::string("  \"logComplete\": ") + Bool(AnswerLogIsComplete(log)) + ",\n";
  out += std::string("  \"ending\": \"") + EndingName(outcome, hung) + "\",\n";
  out += "  \"containedFaults\": " + std::to_string(outcome.containedFaults) + ",\n";
  out += members;
  out += "  \"exitCode\": " + std::to_string(exitCode) + ",\n";
  out += "  \"report\": " + JsonString(report.data(), report.size()) + "\n";
  out += "}\n";
  return out;
}
