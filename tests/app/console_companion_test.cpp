// padscope-report.exe, beside each padscope.exe: a console program, linked
// statically like the dialog, importing only system DLLs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "executable_fixture.h"
#include "pe_image.h"

namespace {

constexpr uint16_t kSubsystemWindowsConsole = 3;

std::string CompanionPath(pe::Build build) {
  std::string path = pe::BuildPath(build);
  return path.substr(0, path.rfind('/') + 1) + "padscope-report.exe";
}

TEST(console_companion, is_a_console_program_importing_only_system_dlls) {
  for (pe::Build build : {pe::Build::x86, pe::Build::x64}) {
    const std::string path = CompanionPath(build);
    const auto file = pe::ReadFile(path);
    if (!file) GTEST_SKIP() << "no build at " << path;
    std::string error;
    const auto image = pe::Parse(*file, error);
    ASSERT_TRUE(image) << path << ": " << error;
    EXPECT_EQ(image->subsystem, kSubsystemWindowsConsole) << path;
    for (const pe::Import& import : image->imports) {
      std::string dll = import.dll;
      std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return std::tolower(c); });
      // user32: the pen check's hidden window, and the size of the desktop, which --diagnose
      // compares with the system context.
      EXPECT_TRUE(dll == "kernel32.dll" || dll == "version.dll" || dll == "msvcrt.dll" || dll == "user32.dll")
          << path << " imports " << import.dll;
    }
  }
}

}  // namespace
