// Drives the whole report against a WTInfoW whose every answer comes from the
// fuzz input, under every combination of the five options, and checks what
// must hold for any library: no memory error, the text within its capacity,
// an echo on every query row, and the report ending as it should.
//
// Input: byte 0 holds the options (bit 0 Safe Mode, 1 no null-buffer,
// 2 override counts, 3 context device, 4 ignore the probe). Then one record
// per WTInfoW call, in call order; once the input runs out every answer is 0.
// A record is an op byte and its operands:
//   op & 3 == 3: a processor fault inside the call;
//   otherwise the count comes from (op >> 2) & 3: 0 one byte, 1 two bytes,
//   2 four bytes, 3 an index byte into a table of interesting sizes;
//   op & 3 == 1: a real call writes that many bytes even past the caller's
//   buffer; op & 3 == 2: it writes one byte more than the count it returns.
// The bytes written are the input itself, repeated, with CR and LF units
// turned into blanks.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "report/dialog_state.h"
#include "report/report_driver.h"

extern "C" void PadscopeFuzzInstall(uint32_t (*)(uint32_t, uint32_t, void*));

namespace {

constexpr uint32_t kInterestingSizes[] = {0,   1,    2,    3,      4,      8,      16,     40,
                                          48,  200,  212,  1020,   1024,   1028,   1030,   65536,
                                          131071, 131072, 131073, 140000, 0xFFFFFFFFu};
constexpr size_t kInterestingCount = sizeof(kInterestingSizes) / sizeof(kInterestingSizes[0]);
constexpr uint32_t kLargestWrite = 131072 + 8192;  // far enough to reach the guard page

struct Feed {
  const uint8_t* data;
  size_t size;
  size_t next;

  bool Take(uint8_t& out) {
    if (next >= size) return false;
    out = data[next++];
    return true;
  }
  uint32_t TakeCount(uint8_t width) {
    uint32_t value = 0;
    for (uint8_t i = 0; i < width; ++i) {
      uint8_t byte = 0;
      Take(byte);
      value |= static_cast<uint32_t>(byte) << (8 * i);
    }
    return value;
  }
};

Feed feed;

void Fault() {
  volatile int* nowhere = nullptr;
  *nowhere = 1;
}

uint32_t Answer(uint32_t, uint32_t, void* output) {
  uint8_t op = 0;
  if (!feed.Take(op)) return 0;
  if ((op & 3) == 3) Fault();
  uint32_t count;
  switch ((op >> 2) & 3) {
    case 0: count = feed.TakeCount(1); break;
    case 1: count = feed.TakeCount(2); break;
    case 2: count = feed.TakeCount(4); break;
    default: count = kInterestingSizes[feed.TakeCount(1) % kInterestingCount]; break;
  }
  if (output == nullptr) return count;
  uint32_t written = count;
  if ((op & 3) == 2) ++written;
  const uint32_t limit = (op & 3) == 1 ? kLargestWrite : 131072;
  if (written > limit) written = limit;
  auto* bytes = static_cast<uint8_t*>(output);
  for (uint32_t i = 0; i < written; ++i) bytes[i] = feed.size != 0 ? feed.data[i % feed.size] : 0;
  // No CR or LF units, so that a text answer cannot forge rows of its own
  // and every line of the report is one the report began.
  for (uint32_t i = 0; i + 1 < written && i + 1 < 131072; i += 2) {
    if (bytes[i + 1] == 0 && (bytes[i] == 0x0A || bytes[i] == 0x0D)) bytes[i] = ' ';
  }
  return count;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// Labels of rows whose value starts with the query's size echo.
constexpr std::u16string_view kQueryLabels[] = {
    u"WTInfoW(0,0,0)", u"IFC_WINTABID", u"IFC_SPECVERSION", u"IFC_IMPLVERSION", u"IFC_NDEVICES",
    u"IFC_NCURSORS", u"IFC_NCONTEXTS", u"(0)", u"DVC_NAME", u"DVC_HARDWARE", u"DVC_PKTRATE",
    u"DVC_PKTDATA", u"DVC_CSRDATA", u"DVC_X", u"DVC_Y", u"DVC_Z", u"DVC_NPRESSURE", u"DVC_TPRESSURE",
    u"DVC_ORIENTATION", u"DVC_PNPID", u"CSR_NAME", u"CSR_ACTIVE", u"CSR_PKTDATA", u"CSR_BUTTONS",
    u"CSR_BUTTONBITS", u"CSR_BTNNAMES", u"CSR_BUTTONMAP", u"CSR_SYSBTNMAP", u"CSR_NPBUTTON",
    u"CSR_NPBTNMARKS", u"CSR_NPRESPONSE", u"CSR_TPBUTTON", u"CSR_TPBTNMARKS", u"CSR_TPRESPONSE",
    u"CSR_PHYSID", u"CSR_MODE", u"CSR_MINPKTDATA", u"CSR_MINBUTTONS", u"CSR_CAPABILITIES"};

bool IsQueryRow(std::u16string_view line) {
  if (line.size() < 31) return false;
  for (std::u16string_view label : kQueryLabels) {
    if (line.substr(0, label.size()) != label) continue;
    bool padded = true;
    for (size_t i = label.size(); i < 31; ++i) padded = padded && line[i] == u' ';
    if (padded) return true;
  }
  return false;
}

std::string ToNarrow(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
  return out;
}

void CheckReport(const DialogState& state) {
  const size_t length = ReportLength(state);
  Check(length + 1 <= kReportTextUnits, "text within its capacity");
  Check(state.ReportText[length] == 0, "text terminated at writePosition");
  const std::u16string_view text(state.ReportText, length);
  Check(text.size() >= 2 && text.substr(text.size() - 2) == u"\r\n", "report ends with CR LF");
  const bool full = text.find(kReportFullMarker) != text.npos;

  // Every query row carries an echo or the guard's marker right after its label.
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(u"\r\n", start);
    if (end == text.npos) end = text.size();
    const std::u16string_view line = text.substr(start, end - start);
    if (IsQueryRow(line)) {
      const std::u16string_view value = line.substr(31);
      const bool echoed = value.starts_with(u"{") || value.starts_with(u"<exception>") ||
                          value.starts_with(u"<hard exception>") || value.starts_with(kReportFullMarker) ||
                          (full && value.empty());
      if (!echoed) {
        std::fprintf(stderr, "row without echo: %s\n", ToNarrow(line).c_str());
        Check(false, "query row starts with its echo");
      }
    }
    start = end + 2;
  }

  // The last line says how the report ended.
  const std::u16string_view body = text.substr(0, text.size() - 2);
  const std::u16string_view last = body.substr(body.rfind(u"\r\n") == body.npos ? 0 : body.rfind(u"\r\n") + 2);
  const bool released = last.substr(0, 13) == u"FreeLibrary()" &&
                        (last.ends_with(u"succeeded") || last.ends_with(u"failed") || last.ends_with(u"<exception>"));
  Check(released || body.ends_with(u"<hard exception>") || full, "report ends with the release");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static DialogState* state = NewDialogState(nullptr);
  if (size == 0) return 0;
  feed = Feed{data + 1, size - 1, 0};
  PadscopeFuzzInstall(&Answer);

  ResetReport(*state);
  state->safeMode = data[0] & 1;
  state->noNullBuffer = (data[0] >> 1) & 1;
  state->overrideCounts = (data[0] >> 2) & 1;
  state->showContextDevice = (data[0] >> 3) & 1;
  state->ignoreNullQuery = (data[0] >> 4) & 1;

  // As the worker runs a test: the report under the outermost guard.
  RunReportUnderGuard(*state);
  AppendFinalLineBreak(*state);
  TerminateReport(*state);
  CheckReport(*state);
  return 0;
}
