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

int ExitCodeOfPen(PenEnding ending) {
  switch (ending) {
    case PenEnding::complete: return kExitComplete;
    case PenEnding::noEntryPoints: return kExitPenNoEntryPoints;
    case PenEnding::noContext: return kExitPenNoContext;
    case PenEnding::brokenAnswer:
    case PenEnding::callFaulted: return kExitRowException;
    case PenEnding::hardException: return kExitHardException;
  }
  return kExitHardException;
}
