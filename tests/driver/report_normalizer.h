// Replaces what a report leaves to the machine (the copyright line, the OS
// version, addresses, the library's path) by fixed placeholders, so that a
// report can be compared byte for byte with a golden file:
//   line 2                              -> <COPYRIGHT>
//   the value of "OS Version"           -> <OS-VERSION>
//   a nonzero address on the load row and the five entry-point rows
//                                       -> <ADDRESS>; a zero one -> <NULL>
//   the quoted path of "GetModuleFileNameW()" -> "<PATH>"
// Nothing else is touched.
#pragma once

#include <string>

std::string NormalizeReport(const std::string& report);
