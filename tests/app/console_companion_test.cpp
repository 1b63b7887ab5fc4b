// padscope-report.exe, beside each padscope.exe: a console program, linked
// statically like the dialog, importing only system DLLs. Both release
// executables: stripped and small.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "executable_fixture.h"
#include "pe_image.h"

namespace {

constexpr uint16_t kSubsystemWindowsConsole = 3;

// A file of the same build folder as that build's padscope.exe.
std::string BuildFile(pe::Build build, const char* name) {
  std::string path = pe::BuildPath(build);
  return path.substr(0, path.rfind('/') + 1) + name;
}

TEST(console_companion, is_a_console_program_importing_only_system_dlls) {
  for (pe::Build build : {pe::Build::x86, pe::Build::x64}) {
    const std::string path = BuildFile(build, "padscope-report.exe");
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

// What a person downloads: stripped (no symbols, no debugging sections; the
// static runtime's alone came to twice the program), and within the sizes
// the product is held to. The 64-bit edition is held to being stripped.
// padscope-report carries the findings and the pen check as JSON and the
// replay of a recording besides the report: 256 KiB.
TEST(release_executables, are_stripped_and_small) {
  struct Row {
    pe::Build build;
    const char* file;
    size_t maxBytes;  // 0: no limit
  };
  static const Row rows[] = {
      {pe::Build::x86, "padscope.exe", 128 * 1024},
      {pe::Build::x86, "padscope-report.exe", 256 * 1024},
      {pe::Build::x64, "padscope.exe", 0},
      {pe::Build::x64, "padscope-report.exe", 0},
  };
  int checked = 0;
  for (const Row& row : rows) {
    const std::string path = BuildFile(row.build, row.file);
    const auto file = pe::ReadFile(path);
    if (!file) continue;  // that build is not there
    ++checked;
    std::string error;
    const auto image = pe::Parse(*file, error);
    ASSERT_TRUE(image) << path << ": " << error;
    EXPECT_EQ(image->symbolCount, 0u) << path << " holds a symbol table";
    for (const std::string& name : image->sectionNames) {
      EXPECT_FALSE(name.rfind(".debug", 0) == 0 || name.rfind("/", 0) == 0) << path << " has section " << name;
    }
    if (row.maxBytes != 0) {
      EXPECT_LE(file->size(), row.maxBytes) << path;
    }
  }
  if (checked == 0) GTEST_SKIP() << "no Windows build";
}

}  // namespace
