// Ctrl+C in the console.
#pragma once

#include <atomic>

// From now on Ctrl+C (and Ctrl+Break on Windows) sets *requested instead
// of ending the process.
void CatchInterrupt(std::atomic<bool>* requested);
