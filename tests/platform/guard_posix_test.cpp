// The fault guard on a posix host: real processor faults raised inside a
// guarded call end at that call's guard, on that thread, and the thread
// goes on.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "posix_faults.h"

namespace {

constexpr uint32_t kCppExceptionCode = 0xE06D7363u;

// A page that exists in the address space but may not be touched.
struct NoAccessPage {
  NoAccessPage() {
    address = mmap(nullptr, static_cast<size_t>(getpagesize()), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  }
  ~NoAccessPage() { munmap(address, static_cast<size_t>(getpagesize())); }
  void* address;
};

// A shared mapping of an empty file: reading it raises SIGBUS.
struct BeyondEndOfFile {
  BeyondEndOfFile() {
    file = std::tmpfile();
    address = mmap(nullptr, static_cast<size_t>(getpagesize()), PROT_READ, MAP_SHARED, fileno(file), 0);
  }
  ~BeyondEndOfFile() {
    munmap(address, static_cast<size_t>(getpagesize()));
    std::fclose(file);
  }
  std::FILE* file;
  void* address;
};

void DoNothing(void*) {}

void SetFlag(void* flag) { *static_cast<bool*>(flag) = true; }

void ThrowRuntimeError(void*) { throw std::runtime_error("thrown inside the guard"); }

void ThrowInteger(void*) { throw 42; }

TEST(guard, reports_a_clean_call_as_not_faulted_and_runs_it) {
  bool ran = false;
  const platform::GuardOutcome outcome = platform::RunGuarded(SetFlag, &ran);
  EXPECT_FALSE(outcome.faulted);
  EXPECT_EQ(outcome.code, 0u);
  EXPECT_TRUE(ran);
}

TEST(guard, catches_each_kind_of_processor_fault_with_its_signal) {
  NoAccessPage noAccess;
  BeyondEndOfFile beyondEnd;
  ASSERT_NE(noAccess.address, MAP_FAILED);
  ASSERT_NE(beyondEnd.address, MAP_FAILED);
  struct Row {
    const char* name;
    platform::GuardedFunction function;
    void* argument;
    int signalNumber;
  };
  const Row rows[] = {
      {"write to null", FaultWriteTo, nullptr, SIGSEGV},
      {"read of a no-access page", FaultReadFrom, noAccess.address, SIGSEGV},
      {"write to a no-access page", FaultWriteTo, noAccess.address, SIGSEGV},
      {"read beyond the end of a mapped file", FaultReadFrom, beyondEnd.address, SIGBUS},
      {"illegal instruction", FaultIllegalInstruction, nullptr, SIGILL},
      {"integer division by zero", FaultDivideByZero, nullptr, SIGFPE},
  };
  // Twice, so that each fault is also caught after an earlier one.
  for (int round = 0; round < 2; ++round) {
    for (size_t i = 0; i < std::size(rows); ++i) {
      const platform::GuardOutcome outcome = platform::RunGuarded(rows[i].function, rows[i].argument);
      EXPECT_TRUE(outcome.faulted) << "row " << i << " (" << rows[i].name << "), round " << round;
      EXPECT_EQ(outcome.code, static_cast<uint32_t>(rows[i].signalNumber))
          << "row " << i << " (" << rows[i].name << "), round " << round;
      bool ran = false;
      EXPECT_FALSE(platform::RunGuarded(SetFlag, &ran).faulted) << "row " << i;
      EXPECT_TRUE(ran) << "the thread did not go on after row " << i << " (" << rows[i].name << ")";
    }
  }
}

TEST(guard, catches_cpp_exceptions_with_the_cpp_exception_code) {
  struct Row {
    const char* name;
    platform::GuardedFunction function;
  };
  const Row rows[] = {{"std::runtime_error", ThrowRuntimeError}, {"int", ThrowInteger}};
  for (size_t i = 0; i < std::size(rows); ++i) {
    const platform::GuardOutcome outcome = platform::RunGuarded(rows[i].function, nullptr);
    EXPECT_TRUE(outcome.faulted) << "row " << i << " (" << rows[i].name << ")";
    EXPECT_EQ(outcome.code, kCppExceptionCode) << "row " << i << " (" << rows[i].name << ")";
  }
}

// What an outer guarded call saw of its inner guards.
struct NestedRecord {
  platform::GuardOutcome innerFault;
  platform::GuardOutcome innerException;
  platform::GuardOutcome innerClean;
  bool reachedEnd;
  bool faultAfterInner;
};

void OuterBody(void* argument) {
  auto* record = static_cast<NestedRecord*>(argument);
  record->innerFault = platform::RunGuarded(FaultWriteTo, nullptr);
  record->innerException = platform::RunGuarded(ThrowRuntimeError, nullptr);
  record->innerClean = platform::RunGuarded(DoNothing, nullptr);
  record->reachedEnd = true;
  if (record->faultAfterInner) FaultIllegalInstruction(nullptr);
}

TEST(guard, nested_guards_each_catch_what_is_raised_inside_their_own_call) {
  for (const bool faultAfterInner : {false, true}) {
    NestedRecord record{};
    record.faultAfterInner = faultAfterInner;
    const platform::GuardOutcome outer = platform::RunGuarded(OuterBody, &record);
    const char* name = faultAfterInner ? "outer faults after the inner guards" : "outer ends normally";
    EXPECT_TRUE(record.innerFault.faulted) << name;
    EXPECT_EQ(record.innerFault.code, static_cast<uint32_t>(SIGSEGV)) << name;
    EXPECT_TRUE(record.innerException.faulted) << name;
    EXPECT_EQ(record.innerException.code, kCppExceptionCode) << name;
    EXPECT_FALSE(record.innerClean.faulted) << name;
    EXPECT_TRUE(record.reachedEnd) << name;
    EXPECT_EQ(outer.faulted, faultAfterInner) << name;
    EXPECT_EQ(outer.code, faultAfterInner ? static_cast<uint32_t>(SIGILL) : 0u) << name;
  }
}

// Three levels deep: the fault in the innermost call must not reach the
// two outer ones.
void Level3(void*) { FaultDivideByZero(nullptr); }
void Level2(void* outcome) { *static_cast<platform::GuardOutcome*>(outcome) = platform::RunGuarded(Level3, nullptr); }
void Level1(void* outcome) {
  platform::GuardOutcome level2Outcome = platform::RunGuarded(Level2, outcome);
  if (level2Outcome.faulted) throw std::logic_error("the fault escaped to level 2");
}

TEST(guard, a_fault_three_levels_deep_stops_at_the_innermost_guard) {
  platform::GuardOutcome innermost{false, 0};
  const platform::GuardOutcome outermost = platform::RunGuarded(Level1, &innermost);
  EXPECT_FALSE(outermost.faulted);
  EXPECT_TRUE(innermost.faulted);
  EXPECT_EQ(innermost.code, static_cast<uint32_t>(SIGFPE));
}

struct OverflowResult {
  platform::GuardOutcome first;
  platform::GuardOutcome second;
  bool wentOn;
};

void* OverflowTwice(void* argument) {
  auto* result = static_cast<OverflowResult*>(argument);
  result->first = platform::RunGuarded(FaultOverflowStack, nullptr);
  result->second = platform::RunGuarded(FaultOverflowStack, nullptr);
  bool ran = false;
  result->wentOn = !platform::RunGuarded(SetFlag, &ran).faulted && ran;
  return nullptr;
}

TEST(guard, catches_a_stack_overflow_on_a_thread_with_a_small_stack) {
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, 1 << 20), 0);
  OverflowResult result{};
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, OverflowTwice, &result), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_TRUE(result.first.faulted);
  EXPECT_EQ(result.first.code, static_cast<uint32_t>(SIGSEGV));
  EXPECT_TRUE(result.second.faulted);
  EXPECT_EQ(result.second.code, static_cast<uint32_t>(SIGSEGV));
  EXPECT_TRUE(result.wentOn);
}

// After a fault the thread's signal mask is the one it had before the guard:
// the fault's own signal is no longer blocked, and what the guarded code
// blocked before it faulted is undone.
struct MaskRecord {
  bool usr1Blocked[3];
  bool segvBlocked[3];
  bool usr2Blocked[3];
};

void BlockUsr2ThenFault(void*) {
  sigset_t usr2;
  sigemptyset(&usr2);
  sigaddset(&usr2, SIGUSR2);
  pthread_sigmask(SIG_BLOCK, &usr2, nullptr);
  FaultWriteTo(nullptr);
}

void* FaultWithSignalsBlocked(void* argument) {
  auto* record = static_cast<MaskRecord*>(argument);
  sigset_t usr1;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &usr1, nullptr);
  const platform::GuardedFunction bodies[3] = {FaultWriteTo, BlockUsr2ThenFault, FaultDivideByZero};
  for (int i = 0; i < 3; ++i) {
    platform::RunGuarded(bodies[i], nullptr);
    sigset_t now;
    pthread_sigmask(SIG_SETMASK, nullptr, &now);
    record->usr1Blocked[i] = sigismember(&now, SIGUSR1) == 1;
    record->segvBlocked[i] = sigismember(&now, SIGSEGV) == 1 || sigismember(&now, SIGFPE) == 1;
    record->usr2Blocked[i] = sigismember(&now, SIGUSR2) == 1;
  }
  return nullptr;
}

TEST(guard, a_fault_leaves_the_signal_mask_as_it_was_before_the_guard) {
  MaskRecord record{};
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, nullptr, FaultWithSignalsBlocked, &record), 0);
  pthread_join(thread, nullptr);
  const char* names[3] = {"write to null", "blocks SIGUSR2, then writes to null", "division by zero"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(record.usr1Blocked[i]) << names[i] << ": the thread's own blocked signal";
    EXPECT_FALSE(record.segvBlocked[i]) << names[i] << ": the fault's signal stays blocked";
    EXPECT_FALSE(record.usr2Blocked[i]) << names[i] << ": the guarded code's change to the mask";
  }
}

// Each thread alternates faults of different kinds, nested and flat, and
// counts how many outcomes were exactly as expected.
void FaultManyTimes(int iterations, std::atomic<int>* correct) {
  NestedRecord record{};
  for (int i = 0; i < iterations; ++i) {
    switch (i % 4) {
      case 0: {
        const auto outcome = platform::RunGuarded(FaultWriteTo, nullptr);
        if (outcome.faulted && outcome.code == static_cast<uint32_t>(SIGSEGV)) ++*correct;
        break;
      }
      case 1: {
        const auto outcome = platform::RunGuarded(FaultIllegalInstruction, nullptr);
        if (outcome.faulted && outcome.code == static_cast<uint32_t>(SIGILL)) ++*correct;
        break;
      }
      case 2: {
        const auto outcome = platform::RunGuarded(ThrowInteger, nullptr);
        if (outcome.faulted && outcome.code == kCppExceptionCode) ++*correct;
        break;
      }
      default: {
        record = NestedRecord{};
        record.faultAfterInner = true;
        const auto outer = platform::RunGuarded(OuterBody, &record);
        if (outer.faulted && outer.code == static_cast<uint32_t>(SIGILL) && record.innerFault.faulted &&
            record.reachedEnd) {
          ++*correct;
        }
        break;
      }
    }
  }
}

TEST(guard, survives_thousands_of_faults_on_several_threads) {
  constexpr int kThreads = 4;
  constexpr int kIterations = 4000;
  std::atomic<int> correct{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(FaultManyTimes, kIterations, &correct);
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(correct.load(), kThreads * kIterations);
}

// A fault outside every guard is not swallowed: the process dies of it,
// also on a thread whose earlier guards have all returned.
TEST(guard_death, a_fault_outside_any_guard_still_ends_the_process) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        platform::RunGuarded(FaultWriteTo, nullptr);
        platform::RunGuarded(DoNothing, nullptr);
        FaultWriteTo(nullptr);
      },
      "");
}

// The dispositions a process may have had before its first guard: an
// unguarded fault goes on to it, and then the process dies of its signal.
void Say(const char* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  if (write(STDERR_FILENO, text, length) < 0) _exit(90);
}
void PlainHandler(int signalNumber) { Say(signalNumber == SIGFPE ? "plain handler: SIGFPE\n" : "plain handler: other\n"); }
void InfoHandler(int signalNumber, siginfo_t* info, void*) {
  Say(signalNumber == SIGFPE && info != nullptr && info->si_signo == SIGFPE ? "SA_SIGINFO handler: SIGFPE\n"
                                                                            : "SA_SIGINFO handler: other\n");
}
void InstallBeforeTheGuard(void (*plain)(int), void (*info)(int, siginfo_t*, void*)) {
  struct sigaction action{};
  sigemptyset(&action.sa_mask);
  if (info != nullptr) {
    action.sa_sigaction = info;
    action.sa_flags = SA_SIGINFO;
  } else {
    action.sa_handler = plain;
  }
  sigaction(SIGFPE, &action, nullptr);
}

TEST(guard_death, an_unguarded_fault_goes_on_to_the_disposition_from_before_the_guard) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Row {
    const char* name;
    void (*plain)(int);
    void (*info)(int, siginfo_t*, void*);
    const char* says;  // on standard error before the process dies
  };
  static const Row rows[] = {
      {"a plain handler", PlainHandler, nullptr, "plain handler: SIGFPE"},
      {"an SA_SIGINFO handler", nullptr, InfoHandler, "SA_SIGINFO handler: SIGFPE"},
      {"SIG_IGN", SIG_IGN, nullptr, ""},
      {"SIG_DFL", SIG_DFL, nullptr, ""},
  };
  for (const Row& row : rows) {
    EXPECT_EXIT(
        {
          InstallBeforeTheGuard(row.plain, row.info);
          platform::RunGuarded(FaultDivideByZero, nullptr);
          FaultDivideByZero(nullptr);
        },
        ::testing::KilledBySignal(SIGFPE), row.says)
        << row.name;
  }
}

}  // namespace
