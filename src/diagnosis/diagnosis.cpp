#include "diagnosis/diagnosis.h"

namespace {

const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::problem: return "problem";
    case Severity::warning: return "warning";
    case Severity::note: return "note";
  }
  return "";
}

void AppendAscii(std::u16string& out, const std::string& text) {
  for (const char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
}

std::string Counted(uint32_t count, const char* singular, const char* plural) {
  return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

}  // namespace

uint32_t ProblemCount(const std::vector<Finding>& findings) {
  uint32_t problems = 0;
  for (const Finding& finding : findings) problems += finding.severity == Severity::problem ? 1 : 0;
  return problems;
}

std::u16string DiagnosisSection(const std::vector<Finding>& findings) {
  std::u16string out = u"\r\nDiagnosis\r\n";
  uint32_t counts[3] = {};
  for (const Finding& finding : findings) {
    ++counts[static_cast<int>(finding.severity)];
    std::string head = SeverityName(finding.severity);
    head.resize(9, ' ');
    head += finding.identifier;
    if (head.size() < 32) head.resize(32, ' ');
    else head += ' ';
    AppendAscii(out, head);
    out += finding.sentence;
    out += u"\r\n";
  }
  const std::string tally = Counted(counts[0], "problem", "problems") + ", " +
                            Counted(counts[1], "warning", "warnings") + ", " + Counted(counts[2], "note", "notes");
  AppendAscii(out, findings.empty() ? "No findings (" + tally + ").\r\n"
                                    : Counted(static_cast<uint32_t>(findings.size()), "finding", "findings") + ": " +
                                          tally + ".\r\n");
  return out;
}
