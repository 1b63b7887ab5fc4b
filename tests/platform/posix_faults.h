// Processor faults on demand, for the guard tests on a posix host. Built
// without sanitizer instrumentation, so that each one reaches the processor
// as a real fault rather than being reported by a sanitizer first.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Each takes a GuardedFunction's argument.
void FaultReadFrom(void* address);        // reads one byte at address
void FaultWriteTo(void* address);         // writes one byte at address
void FaultIllegalInstruction(void* unused);
void FaultDivideByZero(void* unused);
void FaultOverflowStack(void* unused);    // recurses until the stack ends

#ifdef __cplusplus
}
#endif
