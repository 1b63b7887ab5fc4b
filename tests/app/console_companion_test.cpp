// padscope-report.exe and padscope-pen.exe, beside each padscope.exe: a
// console program and a window program, linked statically like the dialog,
// importing only system DLLs. Every release executable: stripped, and the
// product's small.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

#include "executable_fixture.h"
#include "pe_image.h"
#include "resource_parsers.h"

namespace {

constexpr uint16_t kSubsystemWindowsGui = 2;
constexpr uint16_t kSubsystemWindowsConsole = 3;
constexpr uint32_t kVersionType = 16;
constexpr uint32_t kManifestType = 24;

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

std::optional<pe::Image> ParseBuildFile(pe::Build build, const char* name, std::string& path) {
  path = BuildFile(build, name);
  const auto file = pe::ReadFile(path);
  if (!file) return std::nullopt;
  std::string error;
  auto image = pe::Parse(*file, error);
  if (!image) ADD_FAILURE() << path << ": " << error;
  return image;
}

const pe::Resource* ResourceOf(const pe::Image& image, uint32_t type) {
  for (const pe::Resource& resource : image.resources) {
    if (resource.type == type && resource.id == 1) return &resource;
  }
  return nullptr;
}

// The pen window: a GUI program of the system's own DLLs with the dialog's
// manifest and a version resource of its own name.
TEST(pen_window_program, is_a_gui_program_of_system_dlls_with_the_dialogs_manifest_and_its_own_version) {
  for (pe::Build build : {pe::Build::x86, pe::Build::x64}) {
    std::string path, dialogPath;
    const auto image = ParseBuildFile(build, "padscope-pen.exe", path);
    const auto dialog = ParseBuildFile(build, "padscope.exe", dialogPath);
    if (!image || !dialog) continue;
    EXPECT_EQ(image->subsystem, kSubsystemWindowsGui) << path;
    for (const pe::Import& import : image->imports) {
      std::string dll = import.dll;
      std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return std::tolower(c); });
      // comdlg32: the standard save dialog of "Save for support...".
      EXPECT_TRUE(dll == "kernel32.dll" || dll == "user32.dll" || dll == "gdi32.dll" || dll == "comdlg32.dll" ||
                  dll == "version.dll" || dll == "msvcrt.dll")
          << path << " imports " << import.dll;
    }
    const pe::Resource* manifest = ResourceOf(*image, kManifestType);
    const pe::Resource* dialogManifest = ResourceOf(*dialog, kManifestType);
    ASSERT_TRUE(manifest != nullptr && dialogManifest != nullptr) << path;
    EXPECT_EQ(manifest->data, dialogManifest->data) << path;
    const pe::Resource* version = ResourceOf(*image, kVersionType);
    ASSERT_TRUE(version != nullptr) << path;
    std::string error;
    const auto root = pe::ParseVersionResource(version->data, error);
    ASSERT_TRUE(root) << path << ": " << error;
    // StringFileInfo, its one table, and the file's own name in it.
    bool named = false;
    for (const pe::VersionNode& block : root->children) {
      for (const pe::VersionNode& table : block.children) {
        for (const pe::VersionNode& entry : table.children) {
          if (entry.key == u"OriginalFilename") named = entry.text == u"padscope-pen.exe";
        }
      }
    }
    EXPECT_TRUE(named) << path << ": OriginalFilename is not padscope-pen.exe";
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
      {pe::Build::x86, "padscope-pen.exe", 0},
      {pe::Build::x64, "padscope-pen.exe", 0},
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
