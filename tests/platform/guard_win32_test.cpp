// The structured exception guard on Windows, against two DLLs: one whose
// exports raise exceptions they do not handle (padscope_fault_fixture.dll)
// and one that raises and handles its own (padscope_handling_fixture.dll).
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/platform.h"

namespace {

constexpr uint32_t kAccessViolation = 0xC0000005u;
constexpr uint32_t kIllegalInstruction = 0xC000001Du;
constexpr uint32_t kIntegerDivideByZero = 0xC0000094u;
constexpr uint32_t kBreakpoint = 0x80000003u;
constexpr uint32_t kCppExceptionCode = 0xE06D7363u;

struct FaultLibrary {
  FaultLibrary() { library = platform::LoadLibraryNamed(u"padscope_fault_fixture.dll"); }
  ~FaultLibrary() {
    if (library != nullptr) platform::ReleaseLibrary(library);
  }
  platform::GuardedFunction Export(const char* name) const {
    return reinterpret_cast<platform::GuardedFunction>(platform::FindEntryPoint(library, name));
  }
  platform::LibraryHandle library;
};

void SetFlag(void* flag) { *static_cast<bool*>(flag) = true; }
void DoNothing(void*) {}
void ThrowRuntimeError(void*) { throw std::runtime_error("thrown inside the guard"); }

TEST(seh_guard, catches_every_kind_of_exception_from_a_library_with_its_code) {
  FaultLibrary faults;
  ASSERT_NE(faults.library, nullptr) << "GetLastError " << platform::LastErrorCode();
  DWORD chosenCode = 0xE0C0FFEEu;
  DWORD ordinaryCode = 0x00001234u;
  struct Row {
    const char* name;
    platform::GuardedFunction function;
    void* argument;
    uint32_t code;
  };
  const Row rows[] = {
      {"access violation", faults.Export("FaultAccessViolation"), nullptr, kAccessViolation},
      {"illegal instruction", faults.Export("FaultIllegalInstruction"), nullptr, kIllegalInstruction},
      {"integer division by zero", faults.Export("FaultDivideByZero"), nullptr, kIntegerDivideByZero},
      {"breakpoint", faults.Export("FaultBreakpoint"), nullptr, kBreakpoint},
      {"RaiseException with a chosen code", faults.Export("FaultRaise"), &chosenCode, 0xE0C0FFEEu},
      {"RaiseException with an ordinary code", faults.Export("FaultRaise"), &ordinaryCode, 0x00001234u},
      {"C++ exception of the caller", ThrowRuntimeError, nullptr, kCppExceptionCode},
  };
  for (int round = 0; round < 2; ++round) {
    for (size_t i = 0; i < std::size(rows); ++i) {
      ASSERT_NE(rows[i].function, nullptr) << "row " << i << " (" << rows[i].name << ") not exported";
      const platform::GuardOutcome outcome = platform::RunGuarded(rows[i].function, rows[i].argument);
      EXPECT_TRUE(outcome.faulted) << "row " << i << " (" << rows[i].name << "), round " << round;
      EXPECT_EQ(outcome.code, rows[i].code) << std::hex << "row " << i << " (" << rows[i].name << "), round " << round;
      bool ran = false;
      EXPECT_FALSE(platform::RunGuarded(SetFlag, &ran).faulted) << "row " << i;
      EXPECT_TRUE(ran) << "the thread did not go on after row " << i << " (" << rows[i].name << ")";
    }
  }
}

TEST(seh_guard, a_library_that_handles_its_own_exceptions_answers_normally) {
  platform::LibraryHandle library = platform::LoadLibraryNamed(u"padscope_handling_fixture.dll");
  ASSERT_NE(library, nullptr) << "GetLastError " << platform::LastErrorCode();
  auto answer = reinterpret_cast<platform::GuardedFunction>(platform::FindEntryPoint(library, "AnswerAfterInternalExceptions"));
  ASSERT_NE(answer, nullptr);
  for (int call = 0; call < 3; ++call) {
    int result = 0;
    const platform::GuardOutcome outcome = platform::RunGuarded(answer, &result);
    EXPECT_FALSE(outcome.faulted) << "call " << call << std::hex << ", code 0x" << outcome.code;
    EXPECT_EQ(result, 43 + 0x1234) << "call " << call;
  }
  EXPECT_TRUE(platform::ReleaseLibrary(library));
}

struct NestedRecord {
  platform::GuardedFunction fault;
  platform::GuardOutcome inner;
  platform::GuardOutcome innerException;
  bool reachedEnd;
  bool faultAfterInner;
};

void OuterBody(void* argument) {
  auto* record = static_cast<NestedRecord*>(argument);
  record->inner = platform::RunGuarded(record->fault, nullptr);
  record->innerException = platform::RunGuarded(ThrowRuntimeError, nullptr);
  record->reachedEnd = true;
  if (record->faultAfterInner) record->fault(nullptr);
}

TEST(seh_guard, nested_guards_each_catch_what_is_raised_inside_their_own_call) {
  FaultLibrary faults;
  ASSERT_NE(faults.library, nullptr);
  for (const bool faultAfterInner : {false, true}) {
    NestedRecord record{};
    record.fault = faults.Export("FaultAccessViolation");
    ASSERT_NE(record.fault, nullptr);
    record.faultAfterInner = faultAfterInner;
    const platform::GuardOutcome outer = platform::RunGuarded(OuterBody, &record);
    const char* name = faultAfterInner ? "outer faults after the inner guards" : "outer ends normally";
    EXPECT_TRUE(record.inner.faulted) << name;
    EXPECT_EQ(record.inner.code, kAccessViolation) << name;
    EXPECT_TRUE(record.innerException.faulted) << name;
    EXPECT_EQ(record.innerException.code, kCppExceptionCode) << name;
    EXPECT_TRUE(record.reachedEnd) << name;
    EXPECT_EQ(outer.faulted, faultAfterInner) << name;
    EXPECT_EQ(outer.code, faultAfterInner ? kAccessViolation : 0u) << name;
  }
}

// The innermost registration of this thread's exception chain. Only 32-bit
// Windows has such a chain; x64 finds handlers through unwind tables.
void* ExceptionChainHead() {
#if defined(__i386__) || defined(_M_IX86)
#if defined(__GNUC__)
#pragma GCC diagnostic push
// GCC takes the FS-relative read of the thread block for an empty array.
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif
  return reinterpret_cast<NT_TIB*>(NtCurrentTeb())->ExceptionList;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
#else
  return nullptr;
#endif
}

// An address in the caller's next frame: equal before and after the loop
// unless the guard leaves stack behind.
__declspec(noinline) uintptr_t StackMark() {
  volatile int local = 0;
  return reinterpret_cast<uintptr_t>(&local);
}

struct StressWork {
  platform::GuardedFunction faults[3];
  uint32_t codes[3];
  int iterations;
  int correct;
  bool chainUnchanged;
  bool stackUnchanged;
  bool ran;
};

DWORD WINAPI FaultManyTimes(void* argument) {
  auto* work = static_cast<StressWork*>(argument);
  void* const chainBefore = ExceptionChainHead();
  const uintptr_t stackBefore = StackMark();
  for (int i = 0; i < work->iterations; ++i) {
    const int kind = i % 4;
    if (kind < 3) {
      const platform::GuardOutcome outcome = platform::RunGuarded(work->faults[kind], nullptr);
      if (outcome.faulted && outcome.code == work->codes[kind]) ++work->correct;
    } else {
      NestedRecord record{};
      record.fault = work->faults[0];
      record.faultAfterInner = true;
      const platform::GuardOutcome outer = platform::RunGuarded(OuterBody, &record);
      if (outer.faulted && outer.code == work->codes[0] && record.inner.faulted && record.reachedEnd) ++work->correct;
    }
  }
  work->chainUnchanged = ExceptionChainHead() == chainBefore;
  work->stackUnchanged = StackMark() == stackBefore;
  work->ran = true;
  return 0;
}

// Small stacks make a guard that leaves stack behind overflow quickly.
TEST(seh_guard, survives_thousands_of_faults_on_several_threads_without_leaking) {
  FaultLibrary faults;
  ASSERT_NE(faults.library, nullptr);
  constexpr int kThreads = 4;
  constexpr int kIterations = 4000;
  StressWork work[kThreads];
  HANDLE threads[kThreads];
  for (int t = 0; t < kThreads; ++t) {
    work[t] = StressWork{{faults.Export("FaultAccessViolation"), faults.Export("FaultIllegalInstruction"),
                          faults.Export("FaultDivideByZero")},
                         {kAccessViolation, kIllegalInstruction, kIntegerDivideByZero},
                         kIterations,
                         0,
                         false,
                         false,
                         false};
    threads[t] = CreateThread(nullptr, 128 * 1024, FaultManyTimes, &work[t], STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(threads[t], nullptr) << "thread " << t;
  }
  EXPECT_EQ(WaitForMultipleObjects(kThreads, threads, TRUE, 120000), WAIT_OBJECT_0);
  for (int t = 0; t < kThreads; ++t) {
    DWORD exitCode = 1;
    EXPECT_TRUE(GetExitCodeThread(threads[t], &exitCode)) << "thread " << t;
    EXPECT_EQ(exitCode, 0u) << "thread " << t;
    EXPECT_TRUE(work[t].ran) << "thread " << t;
    EXPECT_EQ(work[t].correct, kIterations) << "thread " << t;
    EXPECT_TRUE(work[t].chainUnchanged) << "thread " << t;
    EXPECT_TRUE(work[t].stackUnchanged) << "thread " << t;
    CloseHandle(threads[t]);
  }
}

TEST(seh_guard, a_clean_call_runs_and_is_not_faulted) {
  bool ran = false;
  const platform::GuardOutcome outcome = platform::RunGuarded(SetFlag, &ran);
  EXPECT_FALSE(outcome.faulted);
  EXPECT_EQ(outcome.code, 0u);
  EXPECT_TRUE(ran);
  EXPECT_FALSE(platform::RunGuarded(DoNothing, nullptr).faulted);
}

}  // namespace
