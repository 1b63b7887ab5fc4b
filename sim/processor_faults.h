// Real processor faults, raised by the processor itself (not by a call
// such as raise()), so that a host's fault guards meet what a faulty
// driver really does.
#pragma once

namespace sim {

void FaultAccessViolation();    // write through a null pointer
void FaultIllegalInstruction();  // ud2
void FaultDivideByZero();       // integer division by zero
void FaultStackOverflow();      // recursion until the stack runs out

}  // namespace sim
