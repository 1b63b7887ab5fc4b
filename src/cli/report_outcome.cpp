#include "report_outcome.h"

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
