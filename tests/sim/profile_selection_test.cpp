// How the environment chooses the library's profile, and profile files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "sim/builtin_profiles.h"
#include "sim_library.h"

namespace {

using simtest::Ask;
using simtest::ProfileScope;

uint32_t DeviceCount() { return simtest::ReadUint32(Ask(wintab::WTI_INTERFACE, wintab::IFC_NDEVICES).bytes); }

std::string ProfileError() { return simtest::Library().profileError(); }

// A profile file in the test's temporary folder, removed afterwards.
class ProfileFile {
 public:
  ProfileFile(const std::string& name, const std::string& text)
      : path_(::testing::TempDir() + "sim_profile_" + std::to_string(getpid()) + "_" + name) {
    std::ofstream(path_, std::ios::binary) << text;
  }
  ~ProfileFile() { std::remove(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

TEST(profile_selection, follows_the_variable_each_time_it_changes) {
  {
    ProfileScope unset(nullptr);
    EXPECT_EQ(DeviceCount(), 1u) << "unset means the default profile";
  }
  struct Step {
    const char* profile;
    uint32_t devices;
    bool available;
  };
  static const Step kSteps[] = {
      {"", 1, true},          {"tablet-pc", 2, true}, {"default", 1, true}, {"no-tablet", 0, false},
      {"tablet-pc", 2, true}, {"zero-counts", 0, true}, {"default", 1, true},
  };
  for (size_t step = 0; step < std::size(kSteps); ++step) {
    ProfileScope scope(kSteps[step].profile);
    EXPECT_EQ(DeviceCount(), kSteps[step].devices) << "step " << step << " (" << kSteps[step].profile << ")";
    EXPECT_EQ(simtest::Library().info(0, 0, nullptr) != 0, kSteps[step].available) << "step " << step;
    EXPECT_EQ(ProfileError(), "") << "step " << step;
  }
}

// The library notes where its variable stood in the environment; whatever
// else changes there, it must still see its variable's value at once.
TEST(profile_selection, sees_its_variable_whatever_else_changes_in_the_environment) {
  ProfileScope restore(nullptr);
  static char edited[] = "PADSCOPE_SIM_PROFILE=no-tablet";  // putenv keeps the string itself
  struct Step {
    const char* what;
    void (*change)();
    uint32_t devices;
  };
  static const Step kSteps[] = {
      {"a variable set before it", [] { setenv("PADSCOPE_SIM_TEST_EARLIER", "1", 1); }, 1},
      {"it set", [] { setenv("PADSCOPE_SIM_PROFILE", "tablet-pc", 1); }, 2},
      {"the earlier one removed (it moves)", [] { unsetenv("PADSCOPE_SIM_TEST_EARLIER"); }, 2},
      {"another added after it", [] { setenv("PADSCOPE_SIM_TEST_LATER", "1", 1); }, 2},
      {"it removed", [] { unsetenv("PADSCOPE_SIM_PROFILE"); }, 1},
      {"the later one removed, it set again",
       [] {
         unsetenv("PADSCOPE_SIM_TEST_LATER");
         setenv("PADSCOPE_SIM_PROFILE", "tablet-pc", 1);
       },
       2},
      {"it replaced", [] { setenv("PADSCOPE_SIM_PROFILE", "zero-counts", 1); }, 0},
      {"it removed, one added", [] {
         unsetenv("PADSCOPE_SIM_PROFILE");
         setenv("PADSCOPE_SIM_TEST_LATER", "1", 1);
       },
       1},
      {"the last one removed, it added", [] {
         unsetenv("PADSCOPE_SIM_TEST_LATER");
         setenv("PADSCOPE_SIM_PROFILE", "tablet-pc", 1);
       },
       2},
      {"it given by putenv", [] { putenv(edited); }, 0},
      {"its string edited in place", [] { std::memcpy(std::strchr(edited, '=') + 1, "tablet-pc", 9); }, 2},
      {"it removed again", [] { unsetenv("PADSCOPE_SIM_PROFILE"); }, 1},
  };
  EXPECT_EQ(DeviceCount(), 1u);
  for (const Step& step : kSteps) {
    step.change();
    EXPECT_EQ(DeviceCount(), step.devices) << step.what;
  }
  unsetenv("PADSCOPE_SIM_TEST_LATER");
}

TEST(profile_selection, every_builtin_profile_loads_by_name) {
  for (const sim::BuiltinProfile& builtin : sim::BuiltinProfiles()) {
    ProfileScope scope(builtin.name);
    EXPECT_EQ(ProfileError(), "") << builtin.name;
  }
}

TEST(profile_selection, an_unknown_profile_answers_like_no_tablet_and_says_why) {
  ProfileScope scope("no-such-profile-or-file");
  EXPECT_EQ(simtest::Library().info(0, 0, nullptr), 0u);
  EXPECT_EQ(DeviceCount(), 0u);
  EXPECT_NE(ProfileError().find("PADSCOPE_SIM_PROFILE=no-such-profile-or-file"), std::string::npos) << ProfileError();
}

TEST(profile_selection, reads_a_profile_file_in_the_documented_format) {
  const ProfileFile file("drawing_board.txt",
                         "# A drawing board with two devices\n"
                         "base default\n"
                         "item availability 0 u32 1\n"
                         "item interface IFC_NDEVICES u32 2\n"
                         "item device:1 DVC_NAME text \"Side Pad\"\n"
                         "item device:1 DVC_X axis 0 1000 1 \\\n"
                         "                        500.0   # inches\n"
                         "on device:1 DVC_NAME probe count=99\n");
  ProfileScope scope(file.path());
  ASSERT_EQ(ProfileError(), "");
  EXPECT_EQ(simtest::Library().info(0, 0, nullptr), 4u);
  EXPECT_EQ(DeviceCount(), 2u);
  const simtest::Answer name = Ask(101, wintab::DVC_NAME);
  EXPECT_EQ(name.probeCount, 99u);
  EXPECT_EQ(name.realCount, 18u);
  EXPECT_EQ(simtest::ReadText(name.bytes), u"Side Pad");
  const wintab::AXIS expectedX = {0, 1000, 1, 500u << 16};
  const simtest::Answer x = Ask(101, wintab::DVC_X);
  ASSERT_EQ(x.bytes.size(), sizeof expectedX);
  EXPECT_EQ(std::memcmp(x.bytes.data(), &expectedX, sizeof expectedX), 0);
  EXPECT_EQ(Ask(100, wintab::DVC_NAME).realCount, 46u) << "device 0 comes from the base profile";
}

TEST(profile_selection, a_file_with_an_error_names_the_line_and_answers_nothing) {
  const ProfileFile file("broken.txt", "base default\nitem interface IFC_NDEVICES u32 1 2 x\n");
  ProfileScope scope(file.path());
  EXPECT_NE(ProfileError().find("line 2: bad u32 value 'x'"), std::string::npos) << ProfileError();
  EXPECT_EQ(simtest::Library().info(0, 0, nullptr), 0u);
}

TEST(profile_selection, an_injection_changes_one_item_and_goes_with_its_variable) {
  {
    ProfileScope scope("default", "1,4,real,count=7");
    EXPECT_EQ(Ask(1, wintab::IFC_NDEVICES).realCount, 7u);
    EXPECT_EQ(Ask(1, wintab::IFC_NCURSORS).realCount, 4u);
  }
  {
    ProfileScope scope("default", nullptr);
    EXPECT_EQ(Ask(1, wintab::IFC_NDEVICES).realCount, 4u) << "gone with the variable";
  }
  ProfileScope broken("default", "1,4,sideways,segv");
  EXPECT_NE(ProfileError().find("PADSCOPE_SIM_INJECT"), std::string::npos) << ProfileError();
  EXPECT_EQ(simtest::Library().info(0, 0, nullptr), 0u);
}

}  // namespace
