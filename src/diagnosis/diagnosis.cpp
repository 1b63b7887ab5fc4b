#include "diagnosis/diagnosis.h"

namespace {

void AppendAscii(std::u16string& out, const std::string& text) {
  for (const char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
}

std::string Counted(uint32_t count, const char* singular, const char* plural) {
  return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

}  // namespace

const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::problem: return "problem";
    case Severity::warning: return "warning";
    case Severity::note: return "note";
  }
  return "";
}

uint32_t ProblemCount(const std::vector<Finding>& findings) {
  uint32_t problems = 0;
  for (const Finding& finding : findings) problems += finding.severity == Severity::problem ? 1 : 0;
  return problems;
}

std::u16string FindingText(const Finding& finding) {
  std::u16string out = finding.sentence;
  for (size_t i = 0; i < finding.rows.size(); ++i) {
    out += i == 0 ? u" Rows: " : u"; ";
    out += finding.rows[i];
  }
  if (!finding.rows.empty()) out += u'.';
  return out;
}

std::u16string DiagnosisSection(const std::vector<Finding>& findings) {
  // "warning" and a blank, then every identifier in one column.
  constexpr size_t kSeverityColumn = 9;
  const size_t textColumn = kSeverityColumn + LongestIdentifier() + 1;
  std::u16string out = u"\r\nDiagnosis\r\n";
  uint32_t counts[3] = {};
  for (const Finding& finding : findings) {
    ++counts[static_cast<int>(finding.severity)];
    std::string head = SeverityName(finding.severity);
    head.resize(kSeverityColumn, ' ');
    head += finding.identifier;
    head.resize(textColumn, ' ');
    AppendAscii(out, head);
    out += FindingText(finding);
    out += u"\r\n";
  }
  const std::string tally = Counted(counts[0], "problem", "problems") + ", " +
                            Counted(counts[1], "warning", "warnings") + ", " + Counted(counts[2], "note", "notes");
  AppendAscii(out, findings.empty() ? "No findings (" + tally + ").\r\n"
                                    : Counted(static_cast<uint32_t>(findings.size()), "finding", "findings") + ": " +
                                          tally + ".\r\n");
  return out;
}
