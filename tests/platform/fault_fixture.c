/* A stand-in for a misbehaving tablet driver: each export raises one kind
 * of exception and does not handle it. Built as a DLL for the Windows guard
 * tests. */
#include <windows.h>

#define FIXTURE_EXPORT __declspec(dllexport)

FIXTURE_EXPORT void FaultAccessViolation(void* unused) {
  (void)unused;
  *(volatile int*)(ULONG_PTR)0x10 = 1;
}

FIXTURE_EXPORT void FaultIllegalInstruction(void* unused) {
  (void)unused;
  __builtin_trap();
}

FIXTURE_EXPORT void FaultDivideByZero(void* unused) {
  (void)unused;
  volatile int dividend = 7;
  volatile int divisor = 0;
  volatile int quotient = dividend / divisor;
  (void)quotient;
}

FIXTURE_EXPORT void FaultBreakpoint(void* unused) {
  (void)unused;
  DebugBreak();
}

/* Raises the exception code that *code holds, not continuable. */
FIXTURE_EXPORT void FaultRaise(void* code) {
  RaiseException(*(const DWORD*)code, EXCEPTION_NONCONTINUABLE, 0, NULL);
}
