// The five check boxes of the dialog as one value, with the dialog's
// defaults: how the library is asked and which sections are forced.
#pragma once

struct DialogState;

struct ReportSwitches {
  bool safeMode = true;           // "Safe Mode"
  bool noNullBuffer = false;      // "No null-buffer"
  bool overrideCounts = false;    // "Override IFC_NDEVICES"
  bool showContextDevice = true;  // "Display CTX device"
  bool ignoreNullQuery = false;   // "Ignore WTInfo(0,0,0)"
};

// Sets the record's option flags for the next test.
void ApplySwitches(const ReportSwitches& switches, DialogState& state);
