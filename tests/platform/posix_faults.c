#include "posix_faults.h"

void FaultReadFrom(void* address) {
  volatile const char* target = (volatile const char*)address;
  (void)*target;
}

void FaultWriteTo(void* address) {
  volatile char* target = (volatile char*)address;
  *target = 1;
}

void FaultIllegalInstruction(void* unused) {
  (void)unused;
  __builtin_trap();
}

void FaultDivideByZero(void* unused) {
  (void)unused;
  volatile int dividend = 7;
  volatile int divisor = 0;
  volatile int quotient = dividend / divisor;
  (void)quotient;
}

__attribute__((noinline)) static int Recurse(volatile char* caller) {
  volatile char frame[512];
  frame[0] = (char)(caller[0] + 1);
  // The frame is read after the call, so no call here can become a jump.
  return Recurse(frame) + frame[0];
}

void FaultOverflowStack(void* unused) {
  (void)unused;
  volatile char start = 0;
  (void)Recurse(&start);
}
