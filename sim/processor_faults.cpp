#include "processor_faults.h"

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace sim {

// The volatile objects keep the compiler from seeing the null pointer or
// the zero divisor and replacing the fault with something else.

void FaultAccessViolation() {
  volatile int* volatile address = nullptr;
  *address = 0x5A;
}

void FaultIllegalInstruction() {
#if defined(_MSC_VER)
  __ud2();
#else
  __builtin_trap();  // ud2 on x86 and x86-64
#endif
}

void FaultDivideByZero() {
  volatile int dividend = 1;
  volatile int divisor = 0;
  volatile int quotient = dividend / divisor;
  (void)quotient;
}

namespace {

// Each level keeps a page of its own alive and recurses before it returns,
// so neither inlining nor a tail call can fold the recursion away. The
// depth is read through a volatile, so the compiler cannot see that the
// end never comes.
volatile int depthLimit = -1;

int RecurseUntilTheStackRunsOut(int depth) {
  volatile char page[4096];
  page[0] = static_cast<char>(depth);
  if (depth == depthLimit) return page[0];
  return RecurseUntilTheStackRunsOut(depth + 1) + page[0];
}

}  // namespace

void FaultStackOverflow() {
  volatile int sink = RecurseUntilTheStackRunsOut(0);
  (void)sink;
}

}  // namespace sim
