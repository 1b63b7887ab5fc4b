// Faults, hangs and wrong counts, as profiles and injections order them.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "sim_library.h"

namespace {

using simtest::Ask;
using simtest::Describe;
using simtest::ProfileScope;

enum class Phase { probe, real };

// In the death-test child: the default action for every fault signal (a
// sanitizer runtime would otherwise report and exit instead), then the call.
void CallWithDefaultSignals(uint32_t category, uint32_t index, Phase phase) {
  for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGALRM}) ::signal(signal, SIG_DFL);
  alarm(1);  // a hang ends here
  static uint8_t buffer[wintab::kMaxAnswerBytes];
  simtest::Library().info(category, index, phase == Phase::probe ? nullptr : buffer);
  _exit(0);
}

struct FaultRow {
  const char* profile;
  const char* inject;
  uint32_t category;
  uint32_t index;
  Phase phase;
  int signal;
};

TEST(misbehaviour, faults_are_real_processor_faults_and_hangs_never_return) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  static const FaultRow kRows[] = {
      {"default", "1,4,probe,segv", 1, 4, Phase::probe, SIGSEGV},
      {"default", "1,4,real,ill", 1, 4, Phase::real, SIGILL},
      {"default", "device:0,DVC_PKTRATE,probe,fpe", 100, 5, Phase::probe, SIGFPE},
      {"default", "cursor:2,CSR_NAME,real,hang", 202, 1, Phase::real, SIGALRM},
      {"default", "0,0,probe,segv", 0, 0, Phase::probe, SIGSEGV},
      {"faults", nullptr, 1, wintab::IFC_IMPLVERSION, Phase::probe, SIGSEGV},
      {"faults", nullptr, 1, wintab::IFC_NCONTEXTS, Phase::real, SIGILL},
      {"faults", nullptr, 3, 0, Phase::real, SIGFPE},
      {"hang", nullptr, 100, wintab::DVC_PKTDATA, Phase::real, SIGALRM},
      {"availability-fault", nullptr, 0, 0, Phase::probe, SIGSEGV},
      {"availability-hang", nullptr, 0, 0, Phase::probe, SIGALRM},
  };
  for (size_t row = 0; row < std::size(kRows); ++row) {
    const FaultRow& fault = kRows[row];
    ProfileScope scope(fault.profile, fault.inject);
    ASSERT_STREQ(simtest::Library().profileError(), "") << "row " << row;
    EXPECT_EXIT(CallWithDefaultSignals(fault.category, fault.index, fault.phase), ::testing::KilledBySignal(fault.signal),
                "")
        << "row " << row << ": " << fault.profile << ", " << Describe(fault.category, fault.index);
  }
}

TEST(misbehaviour, an_injected_fault_touches_only_its_own_call) {
  ProfileScope scope("default", "1,4,probe,segv;100,1,real,hang");
  // The other phase and the neighbouring items answer as usual (a fault or
  // hang here would end the test program).
  uint8_t buffer[64] = {};
  EXPECT_EQ(simtest::Library().info(1, 4, buffer), 4u);
  EXPECT_EQ(simtest::Library().info(100, 1, nullptr), 46u);
  EXPECT_EQ(Ask(1, 5).realCount, 4u);
  EXPECT_EQ(Ask(1, 3).realCount, 2u);
  EXPECT_EQ(Ask(101, 1).probeCount, 0u);
}

TEST(misbehaviour, a_raised_exception_leaves_the_call) {
  ProfileScope scope("faults");
  EXPECT_ANY_THROW(Ask(200, wintab::CSR_BTNNAMES));
  EXPECT_EQ(Ask(200, wintab::CSR_NAME).realCount, 26u) << "the next call answers again";
}

TEST(misbehaviour, counts_can_differ_from_the_bytes_written) {
  {
    ProfileScope scope("capacity-undercount");
    const simtest::Answer answer = Ask(100, wintab::DVC_NAME, 128);
    EXPECT_EQ(answer.probeCount, 46u);
    EXPECT_EQ(answer.realCount, 4u);
    EXPECT_TRUE(answer.wroteBeyondCount) << "all 46 bytes of the name were written";
  }
  {
    ProfileScope scope("capacity-big-probe");
    const simtest::Answer answer = Ask(100, wintab::DVC_NAME, 128);
    EXPECT_EQ(answer.probeCount, 200000u);
    EXPECT_EQ(answer.realCount, 46u);
    EXPECT_FALSE(answer.wroteBeyondCount);
  }
  {
    ProfileScope scope("default", "device:0,DVC_PNPID,real,write=300");
    std::vector<uint8_t> buffer(400, simtest::kPoison);
    EXPECT_EQ(simtest::Library().info(100, wintab::DVC_PNPID, buffer.data()), 300u);
    EXPECT_EQ(simtest::ReadText(buffer), u"PSC0104") << "the answer comes first";
    EXPECT_NE(buffer[299], simtest::kPoison);
    EXPECT_EQ(buffer[300], simtest::kPoison) << "and exactly 300 bytes are written";
  }
}

TEST(misbehaviour, capacity_profiles_reach_past_the_callers_buffer) {
  {
    ProfileScope scope("capacity-unterminated");
    const simtest::Answer answer = Ask(1, wintab::IFC_WINTABID);
    ASSERT_EQ(answer.realCount, wintab::kMaxAnswerBytes);
    EXPECT_EQ(simtest::ReadText(answer.bytes).size(), wintab::kMaxAnswerBytes / 2) << "no zero unit anywhere";
  }
  {
    ProfileScope scope("capacity-overrun");
    const simtest::Answer answer = Ask(100, wintab::DVC_PNPID, 150000);
    EXPECT_EQ(answer.probeCount, 16u);
    EXPECT_EQ(answer.realCount, 140000u);
    EXPECT_GT(answer.realCount, wintab::kMaxAnswerBytes);
  }
  {
    ProfileScope scope("many-cursors");
    EXPECT_EQ(simtest::ReadUint32(Ask(1, wintab::IFC_NCURSORS).bytes), 100000u);
    EXPECT_EQ(simtest::ReadText(Ask(200 + 99999, wintab::CSR_NAME).bytes), u"Pressure Pen");
    EXPECT_EQ(Ask(200 + 100000, wintab::CSR_NAME).realCount, 0u);
  }
}

}  // namespace
