#include "cli/report_outcome.h"

int ExitCodeOf(const RunOutcome& outcome, bool hung) {
  if (hung) return kExitHung;
  switch (outcome.ending) {
    case RunEnding::hardException: return kExitHardException;
    case RunEnding::noLibrary:
    case RunEnding::noInfoEntry: return kExitNoLibrary;
    case RunEnding::probeZero: return kExitProbeZero;
    // A faulted probe reads "<exception>" in its row, like any other row.
    case RunEnding::probeFaulted: return kExitRowException;
    case RunEnding::complete: return outcome.containedFaults > 0 ? kExitRowException : kExitComplete;
    case RunEnding::running: break;  // a worker that returned has always ended its run
  }
  return kExitHardException;
}

int ExitCodeOfPen(PenEnding ending, PenVerdict verdict) {
  switch (ending) {
    case PenEnding::complete: break;
    case PenEnding::noEntryPoints: return kExitPenNoEntryPoints;
    case PenEnding::noContext: return kExitPenNoContext;
    case PenEnding::brokenAnswer:
    case PenEnding::callFaulted: return kExitRowException;
    case PenEnding::hardException: return kExitHardException;
  }
  switch (verdict) {
    case PenVerdict::none: return kExitComplete;
    // A fault or a broken answer already ended the reading with its own code.
    case PenVerdict::libraryFaulted:
    case PenVerdict::libraryBrokeCount: return kExitRowException;
    case PenVerdict::libraryNotEnabled:
    case PenVerdict::hiddenWindow:
    case PenVerdict::noPackets:
    case PenVerdict::onlyHovered: return kExitPenNoInput;
    case PenVerdict::noPressureField:
    case PenVerdict::pressureZero:
    case PenVerdict::pressureFixed:
    case PenVerdict::tipNotReleased:
    case PenVerdict::lowPressureRange: return kExitPenPressure;
  }
  return kExitComplete;
}

int MostSevere(int code, int other) {
  static const int kOrder[] = {kExitFailure,         kExitHung,         kExitHardException, kExitNoLibrary,
                               kExitProbeZero,       kExitRowException, kExitPenNoEntryPoints,
                               kExitPenNoContext,    kExitProblemsFound, kExitPenNoInput,   kExitPenPressure,
                               kExitComplete};
  for (const int candidate : kOrder) {
    if (code == candidate || other == candidate) return candidate;
  }
  return code;
}
