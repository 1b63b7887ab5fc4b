// The product is a 32-bit GUI executable, the edition a 64-bit one; both
// import only system DLLs.
#include <algorithm>
#include <cctype>
#include <iterator>
#include <set>
#include <string>

#include "executable_fixture.h"

namespace {

constexpr uint16_t kMachineI386 = 0x014c;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kPe32Magic = 0x010b;
constexpr uint16_t kPe32PlusMagic = 0x020b;
constexpr uint16_t kSubsystemWindowsGui = 2;
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint16_t kMachine32Bit = 0x0100;
constexpr uint16_t kDll = 0x2000;

struct BuildRow {
  const char* name;
  pe::Build build;
  uint16_t machine;
  uint16_t magic;
  bool declares32Bit;
  const char* header;       // the report's first line in this build
  const char* otherHeader;  // the other build's, which must not appear
};

const BuildRow kBuilds[] = {
    {"x86", pe::Build::x86, kMachineI386, kPe32Magic, true, "PADSCOPE x86 - 2.6.1.0", "PADSCOPE x64 - 2.6.1.0"},
    {"x64", pe::Build::x64, kMachineAmd64, kPe32PlusMagic, false, "PADSCOPE x64 - 2.6.1.0", "PADSCOPE x86 - 2.6.1.0"},
};

// The text as the report stores it: UTF-16, little-endian.
std::string Utf16Bytes(const char* text) {
  std::string bytes;
  for (const char* c = text; *c != 0; ++c) {
    bytes += *c;
    bytes += '\0';
  }
  return bytes;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

const pe::Import* FindImport(const pe::Image& image, const std::string& dll) {
  for (const pe::Import& import : image.imports) {
    if (Lower(import.dll) == dll) return &import;
  }
  return nullptr;
}

class WindowsBuild : public testing::TestWithParam<BuildRow> {};

TEST_P(WindowsBuild, is_a_gui_executable_for_its_processor) {
  const BuildRow& row = GetParam();
  REQUIRE_BUILD_IMAGE(image, row.build);
  EXPECT_EQ(image->machine, row.machine);
  EXPECT_EQ(image->optionalMagic, row.magic);
  EXPECT_EQ(image->subsystem, kSubsystemWindowsGui);
  EXPECT_NE(image->characteristics & kExecutableImage, 0);
  EXPECT_EQ((image->characteristics & kMachine32Bit) != 0, row.declares32Bit);
  EXPECT_EQ(image->characteristics & kDll, 0);
}

TEST_P(WindowsBuild, imports_only_system_dlls) {
  REQUIRE_BUILD_IMAGE(image, GetParam().build);
  // The C runtime that ships with Windows is msvcrt.dll; everything else is
  // linked statically. The tablet library is loaded at run time only.
  const std::set<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll", "version.dll", "msvcrt.dll"};
  const std::set<std::string> required = {"kernel32.dll", "user32.dll", "gdi32.dll", "version.dll"};
  std::set<std::string> seen;
  for (const pe::Import& import : image->imports) {
    const std::string dll = Lower(import.dll);
    EXPECT_TRUE(allowed.count(dll)) << "unexpected import " << import.dll;
    EXPECT_TRUE(seen.insert(dll).second) << "import descriptor repeated for " << import.dll;
  }
  for (const std::string& dll : required) EXPECT_TRUE(seen.count(dll)) << "missing import " << dll;
}

TEST_P(WindowsBuild, names_its_own_build_in_the_report_header) {
  const BuildRow& row = GetParam();
  const auto file = pe::ReadFile(pe::BuildPath(row.build));
  if (!file) GTEST_SKIP() << "no build at " << pe::BuildPath(row.build);
  const std::string bytes(file->begin(), file->end());
  EXPECT_NE(bytes.find(Utf16Bytes(row.header)), std::string::npos) << row.header;
  EXPECT_EQ(bytes.find(Utf16Bytes(row.otherHeader)), std::string::npos) << row.otherHeader;
}

INSTANTIATE_TEST_SUITE_P(Builds, WindowsBuild, testing::ValuesIn(kBuilds),
                         [](const testing::TestParamInfo<BuildRow>& info) { return std::string(info.param.name); });

TEST(product_executable, imports_the_calls_the_program_is_built_on) {
  REQUIRE_PRODUCT_IMAGE(image);
  struct Row {
    const char* dll;
    const char* function;
  };
  static const Row rows[] = {
      {"user32.dll", "DialogBoxParamW"},
      {"user32.dll", "SetTimer"},
      {"user32.dll", "KillTimer"},
      {"user32.dll", "SetDlgItemTextW"},
      {"user32.dll", "SystemParametersInfoW"},
      {"user32.dll", "EnableWindow"},
      {"gdi32.dll", "CreateFontIndirectW"},
      {"gdi32.dll", "GetStockObject"},
      {"kernel32.dll", "CreateThread"},
      {"kernel32.dll", "TerminateThread"},
      {"kernel32.dll", "LoadLibraryW"},
      {"kernel32.dll", "GetProcAddress"},
      {"kernel32.dll", "FreeLibrary"},
      {"kernel32.dll", "DebugBreak"},
      {"version.dll", "GetFileVersionInfoW"},
      {"version.dll", "VerQueryValueW"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const pe::Import* import = FindImport(*image, rows[i].dll);
    ASSERT_NE(import, nullptr) << "row " << i << ": no import of " << rows[i].dll;
    const bool present =
        std::find(import->functions.begin(), import->functions.end(), rows[i].function) != import->functions.end();
    EXPECT_TRUE(present) << "row " << i << ": " << rows[i].dll << " lacks " << rows[i].function;
  }
}

TEST(product_executable, carries_only_dialog_version_and_manifest_resources) {
  REQUIRE_PRODUCT_IMAGE(image);
  constexpr uint32_t kDialog = 5, kVersion = 16, kManifest = 24;
  // Exactly one resource of each type, with identifier 1, in its language.
  struct Row {
    uint32_t type;
    uint32_t language;
  };
  static const Row rows[] = {{kDialog, 2057}, {kVersion, 2057}, {kManifest, 1033}};
  ASSERT_EQ(image->resources.size(), std::size(rows)) << "no icon, menu, string table or accelerators";
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto match = std::find_if(image->resources.begin(), image->resources.end(),
                                    [&](const pe::Resource& r) { return r.type == rows[i].type; });
    ASSERT_NE(match, image->resources.end()) << "row " << i << ": no resource of type " << rows[i].type;
    EXPECT_EQ(match->id, 1u) << "row " << i;
    EXPECT_EQ(match->language, rows[i].language) << "row " << i;
  }
}

}  // namespace
