#include "report_normalizer.h"

#include <string_view>
#include <vector>

namespace {

constexpr size_t kValueColumn = 31;  // values start in column 32

bool IsHexAddress(std::string_view text) {
  if (text.size() != 10 && text.size() != 18) return false;
  if (text.substr(0, 2) != "0x") return false;
  for (char c : text.substr(2)) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

bool RowIs(std::string_view line, std::string_view label) {
  if (line.size() < kValueColumn || line.substr(0, label.size()) != label) return false;
  for (size_t i = label.size(); i < kValueColumn; ++i) {
    if (line[i] != ' ') return false;
  }
  return true;
}

std::string NormalizeLine(size_t lineIndex, const std::string& line) {
  if (lineIndex == 1) return "<COPYRIGHT>";
  if (RowIs(line, "OS Version")) return line.substr(0, kValueColumn) + (line.size() > kValueColumn ? "<OS-VERSION>" : "");
  if (RowIs(line, "GetModuleFileNameW()") && line.size() > kValueColumn && line[kValueColumn] == '"') {
    return line.substr(0, kValueColumn) + "\"<PATH>\"";
  }
  for (const char* label : {"LoadLibrary(\"WINTAB32.DLL\")", "WTInfoW()", "WTOpenW()", "WTClose()", "WTEnable()",
                            "WTPacketsGet()"}) {
    if (!RowIs(line, label) || line.size() <= kValueColumn) continue;
    const std::string value = line.substr(kValueColumn);
    if (!IsHexAddress(value)) return line;
    const bool zero = value.find_first_not_of('0', 2) == std::string::npos;
    return line.substr(0, kValueColumn) + (zero ? "<NULL>" : "<ADDRESS>");
  }
  return line;
}

}  // namespace

std::string NormalizeReport(const std::string& report) {
  std::string out;
  size_t start = 0;
  size_t lineIndex = 0;
  while (start <= report.size()) {
    size_t end = report.find("\r\n", start);
    const bool last = end == std::string::npos;
    if (last) end = report.size();
    out += NormalizeLine(lineIndex, report.substr(start, end - start));
    if (last) break;
    out += "\r\n";
    start = end + 2;
    ++lineIndex;
  }
  return out;
}
