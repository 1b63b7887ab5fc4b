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

}  // namespace sim
