// Building a report allocates nothing: every piece goes straight into the
// record's fixed text, every answer into its fixed buffer, every work text
// into an area on the caller's stack. This executable replaces the global
// operator new (and, on the Linux host, wraps malloc, calloc and realloc at
// link time) to count every allocation made while a test measures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "fake_wintab.h"
#include "format/axis_format.h"
#include "format/context_format.h"
#include "format/fix32.h"
#include "format/value_format.h"
#include "report/answer_log.h"
#include "report/query_info.h"
#include "report/report_sections.h"
#include "test_support.h"

namespace {

bool counting = false;
size_t allocations = 0;

void* CountedAllocation(std::size_t size) {
  if (counting) ++allocations;
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

}  // namespace

void* operator new(std::size_t size) { return CountedAllocation(size); }
void* operator new[](std::size_t size) { return CountedAllocation(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (counting) ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

#if defined(PADSCOPE_COUNT_MALLOC)
extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* memory, size_t size);

void* __wrap_malloc(size_t size) {
  if (counting) ++allocations;
  return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
  if (counting) ++allocations;
  return __real_calloc(count, size);
}
void* __wrap_realloc(void* memory, size_t size) {
  if (counting) ++allocations;
  return __real_realloc(memory, size);
}
}
#endif

namespace {

using testsupport::Bytes;
using testsupport::MakeState;
using testsupport::SetAnswer;
using testsupport::StatePtr;

// Runs `work` once to settle one-time setup, then again while counting.
template <class Work>
size_t AllocationsOf(Work work) {
  work();
  allocations = 0;
  counting = true;
  work();
  counting = false;
  return allocations;
}

class Allocation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(state, nullptr);
    fakewintab::Reset();
    state->infoEntry = &fakewintab::WTInfoW;
  }

  StatePtr state = MakeState();
};

TEST(allocation_counter, sees_an_allocation) {
  // The counter itself must work, or every other test here proves nothing.
  const size_t counted = AllocationsOf([] { delete new int(7); });
  EXPECT_GE(counted, 1u);
#if defined(PADSCOPE_COUNT_MALLOC)
  // Called through a pointer the optimiser cannot see through, so that the
  // allocation is not elided.
  void* (*volatile allocate)(size_t) = std::malloc;
  const size_t mallocs = AllocationsOf([&] { std::free(allocate(16)); });
  EXPECT_EQ(mallocs, 1u);
#endif
}

TEST_F(Allocation, report_writes_allocate_nothing) {
  const std::u16string longText(2000, u'x');
  const char16_t* longPiece = longText.c_str();
  const size_t counted = AllocationsOf([&] {
    ResetReport(*state);
    Append(*state, u"PADSCOPE");
    Append(*state, u"%u [0x%08x] %d %#08x %s", 7u, 7u, -7, 0x03E80000u, u"text");
    Append(*state, u"%s", longPiece);
    Label(*state, u"IFC_NDEVICES");
    NewLine(*state);
    // Through the capacity: the cut, the marker and the pieces after it.
    for (int i = 0; i < 140; ++i) Append(*state, u"%s", longPiece);
    AppendEnding(*state, u"<hung>");
    AppendFinalLineBreak(*state);
    TerminateReport(*state);
  });
  EXPECT_EQ(counted, 0u);
}

TEST_F(Allocation, queries_allocate_nothing_guarded_or_not) {
  fakewintab::AddAnswer(1, 4, Bytes().U32(2));
  fakewintab::AddItem(1, 5, fakewintab::Behaviour{fakewintab::Step::Answer, 4},
                      fakewintab::Behaviour{fakewintab::Step::Fault, 0});
  fakewintab::AddAnswer(0, 0, Bytes().U32(1));
  // Without an answer log, as the dialog runs, and with one in storage the
  // caller owns: the log is filled without a single allocation.
  static AnswerLogEntry entries[32];
  static uint8_t bytes[256];
  AnswerLog log{};
  AttachAnswerLogStorage(log, entries, 32, bytes, sizeof(bytes));
  for (AnswerLog* attached : {static_cast<AnswerLog*>(nullptr), &log}) {
    state->answerLog = attached;
    const size_t counted = AllocationsOf([&] {
      ResetReport(*state);
      for (uint8_t safe : {uint8_t{1}, uint8_t{0}}) {
        for (uint8_t noNull : {uint8_t{1}, uint8_t{0}}) {
          state->safeMode = safe;
          state->noNullBuffer = noNull;
          QueryInfo(*state, 1, 4);
          QueryInfo(*state, 1, 6);
          ProbeInterface(*state);
        }
      }
      state->safeMode = 1;
      QueryInfo(*state, 1, 5);  // a contained fault
    });
    EXPECT_EQ(counted, 0u) << (attached ? "with a log" : "without a log");
  }
  state->answerLog = nullptr;
  // Four option pairs of three steps each, then the fault.
  ASSERT_EQ(log.entryCount, 13u);
  EXPECT_EQ(log.entries[0].probe.state, CallState::notMade);  // "No null-buffer"
  EXPECT_EQ(log.entries[0].real.state, CallState::returned);
  EXPECT_EQ(log.entries[0].real.count, 4u);
  ASSERT_EQ(log.entries[0].bytesLength, 4u);
  EXPECT_EQ(AnswerBytes(log, log.entries[0])[0], 2u);
  EXPECT_EQ(log.entries[2].step, LoggedStep::availability);
  const AnswerLogEntry& fault = log.entries[12];
  EXPECT_EQ(fault.probe.state, CallState::returned);
  EXPECT_EQ(fault.probe.count, 4u);
  EXPECT_EQ(fault.real.state, CallState::faulted);
  EXPECT_EQ(state->outcome.containedFaults, 1u);
}

TEST_F(Allocation, renderers_allocate_nothing) {
  const Bytes context = Bytes().Text(u"ctx").Zeros(74).U32(0xC00F).U32(7).U32(0x1F).Zeros(112).U32(0x00018000).U32(1);
  ASSERT_EQ(context.size(), 212u);
  const Bytes axis = Bytes().I32(-1).I32(1).U32(3).U32(0x0E100000);
  const Bytes array = Bytes().U32(1).U32(2).U32(3);
  const Bytes text = Bytes().Text(u"Stylus").U16(0);
  const Bytes version = Bytes().U16(0x0104);
  const Bytes largest = Bytes().U32(0xFFFFFFFF);
  const size_t counted = AllocationsOf([&] {
    ResetReport(*state);
    SetAnswer(*state, version);
    AppendVersion(*state);
    SetAnswer(*state, largest);
    AppendUint(*state);
    AppendBool(*state);
    AppendByte(*state);  // wrong size: the message
    AppendFlagSet(*state, 0xFFFFFFFF, kContextOptionFlags);
    AppendPacketDataFlags(*state, 0x3FFF);
    SetAnswer(*state, array);
    AppendUintArray(*state);
    SetAnswer(*state, text);
    AppendQuotedText(*state);
    AppendNotDisplayed(*state);
    SetAnswer(*state, axis);
    AppendAxis(*state);
    AppendAxisRecord(*state, wintab::AXIS{0, 3600, 3, 0x0E100000}, true);
    SetAnswer(*state, context);
    uint32_t device = 0;
    AppendContext(*state, &device);
    AppendContext(*state, nullptr);
    char16_t fix32Text[kFix32AreaUnits];
    FormatFix32(fix32Text, 0xFFFFFFFF);
    FormatFix32Display(fix32Text, 0xFFFFFFFF);
    char16_t flagText[kFlagTextUnits];
    FormatFlagText(flagText, kFlagTextUnits, 0x3FFF, kPacketDataFlags);
  });
  EXPECT_EQ(counted, 0u);
}

TEST_F(Allocation, device_and_cursor_sections_allocate_nothing) {
  fakewintab::AddAnswer(100, 1, Bytes().Text(u"Tablet").U16(0));
  fakewintab::AddAnswer(100, 12, Bytes().I32(0).I32(15200).U32(2).U32(0x03E80000));
  fakewintab::AddAnswer(100, 17, Bytes().Zeros(48));
  fakewintab::AddAnswer(200, 11, Bytes().U32(0).U32(1023));
  fakewintab::AddAnswer(200, 19, Bytes().U32(5));
  state->safeMode = 1;
  const size_t counted = AllocationsOf([&] {
    ResetReport(*state);
    ReportDevice(*state, 0);
    ReportCursor(*state, 0);
  });
  EXPECT_EQ(counted, 0u);
}

}  // namespace
