#include "cli/findings_json.h"

#include "exports/json_text.h"

std::string FindingsMember(const std::vector<Finding>& findings) {
  std::string out = "  \"findings\": [";
  for (size_t i = 0; i < findings.size(); ++i) {
    const Finding& finding = findings[i];
    out += i == 0 ? "\n    {\"identifier\": \"" : ",\n    {\"identifier\": \"";
    out += finding.identifier;
    out += "\", \"severity\": \"";
    out += SeverityName(finding.severity);
    out += "\", \"sentence\": " + JsonString(finding.sentence.data(), finding.sentence.size()) + ", \"rows\": [";
    for (size_t k = 0; k < finding.rows.size(); ++k) {
      if (k != 0) out += ", ";
      out += JsonString(finding.rows[k].data(), finding.rows[k].size());
    }
    out += "]}";
  }
  out += findings.empty() ? "],\n" : "\n  ],\n";
  return out;
}
