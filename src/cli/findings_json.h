// --json with --diagnose: the findings as the document's "findings" member.
#pragma once

#include <string>
#include <vector>

#include "diagnosis/diagnosis.h"

// "  \"findings\": [...],\n": each finding's identifier, severity, sentence and rows.
std::string FindingsMember(const std::vector<Finding>& findings);
