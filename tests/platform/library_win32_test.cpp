// Module loading, module file names and version resources of the Windows
// seam, against padscope_version_fixture.dll (version_fixture.rc) and the
// system's KERNEL32.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "version_reading.h"

namespace {

using versiontest::FoundValue;
using versiontest::Narrow;
using versiontest::ReadVersions;

constexpr uint32_t kErrorModuleNotFound = 126;

std::u16string Lower(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

bool EndsWith(const std::u16string& text, const std::u16string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::u16string FullFileName(platform::LibraryHandle library) {
  std::vector<char16_t> buffer(32768, 0);
  const uint32_t length = platform::LibraryFileName(library, buffer.data(), static_cast<uint32_t>(buffer.size()));
  return std::u16string(buffer.data(), length);
}

TEST(libraries, a_missing_library_fails_with_module_not_found) {
  EXPECT_EQ(platform::LoadLibraryNamed(u"padscope_no_such_library.dll"), nullptr);
  EXPECT_EQ(platform::LastErrorCode(), kErrorModuleNotFound);
}

TEST(libraries, finds_exports_and_reports_missing_ones_as_null) {
  platform::LibraryHandle library = platform::LoadLibraryNamed(u"padscope_version_fixture.dll");
  ASSERT_NE(library, nullptr) << "GetLastError " << platform::LastErrorCode();
  auto answer = reinterpret_cast<int (*)()>(platform::FindEntryPoint(library, "VersionFixtureAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 7);
  EXPECT_EQ(platform::FindEntryPoint(library, "NoSuchExport"), nullptr);
  EXPECT_TRUE(platform::ReleaseLibrary(library));
}

TEST(libraries, file_name_is_whole_when_it_fits_and_cut_and_terminated_when_not) {
  platform::LibraryHandle library = platform::LoadLibraryNamed(u"padscope_version_fixture.dll");
  ASSERT_NE(library, nullptr);
  const std::u16string full = FullFileName(library);
  EXPECT_TRUE(EndsWith(Lower(full), u"\\padscope_version_fixture.dll")) << Narrow(full);
  const uint32_t length = static_cast<uint32_t>(full.size());
  ASSERT_GT(length, 3u);

  struct Row {
    const char* name;
    uint32_t capacity;
    uint32_t result;
    uint32_t copied;
  };
  const Row rows[] = {
      {"room to spare", length + 5, length, length},
      {"exactly enough", length + 1, length, length},
      {"no room for the terminator", length, length, length - 1},
      {"one unit short", length - 1, length - 1, length - 2},
      {"terminator only", 1, 1, 0},
  };
  constexpr char16_t kPoison = 0x1111;
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    std::vector<char16_t> out(length + 8, kPoison);
    EXPECT_EQ(platform::LibraryFileName(library, out.data(), row.capacity), row.result) << "row " << i << " (" << row.name << ")";
    EXPECT_EQ(std::u16string(out.data(), row.copied), full.substr(0, row.copied)) << "row " << i << " (" << row.name << ")";
    EXPECT_EQ(out[row.copied], 0) << "row " << i << " (" << row.name << "): terminator";
    EXPECT_EQ(out[row.capacity], kPoison) << "row " << i << " (" << row.name << "): wrote past the capacity";
  }
  EXPECT_TRUE(platform::ReleaseLibrary(library));
}

TEST(libraries, system_library_is_kernel32_with_a_product_version) {
  char16_t name[261] = {};
  const uint32_t length = platform::SystemLibraryFileName(name, 260);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, 260u);
  const std::u16string path(name, length);
  EXPECT_TRUE(EndsWith(Lower(path), u"\\kernel32.dll")) << Narrow(path);
  const std::vector<FoundValue> found = ReadVersions(path, {u"ProductVersion"});
  ASSERT_EQ(found.size(), 1u) << Narrow(path);
  EXPECT_EQ(found[0].keyIndex, 0u);
  ASSERT_FALSE(found[0].value.empty());
  for (const char16_t c : found[0].value) {
    EXPECT_TRUE((c >= u'0' && c <= u'9') || c == u'.' || c == u' ') << Narrow(found[0].value);
  }
}

TEST(version_strings, reports_the_keys_asked_in_key_order_and_skips_missing_ones) {
  platform::LibraryHandle library = platform::LoadLibraryNamed(u"padscope_version_fixture.dll");
  ASSERT_NE(library, nullptr);
  const std::u16string path = FullFileName(library);
  const std::u16string longKey(300, u'K');
  struct Row {
    const char* name;
    std::vector<const char16_t*> keys;
    std::vector<FoundValue> expected;
  };
  const Row rows[] = {
      {"file version, then company", {u"FileVersion", u"CompanyName"}, {{0, u"7.4.2.19"}, {1, u"Test Tablets AB"}}},
      {"a missing key between them is skipped", {u"FileVersion", u"LegalTrademarks", u"CompanyName"},
       {{0, u"7.4.2.19"}, {2, u"Test Tablets AB"}}},
      {"company looked up without file version", {u"LegalCopyright", u"CompanyName"}, {{1, u"Test Tablets AB"}}},
      {"key order, not resource order", {u"Comments", u"ProductVersion", u"FileVersion"},
       {{0, u"x"}, {1, u"7.4"}, {2, u"7.4.2.19"}}},
      // A value's reported length counts its terminator, so a NUL stored at
      // that length would land on the next entry's header and hide it.
      {"a value after its neighbour was read", {u"CompanyName", u"ProductVersion", u"Comments"},
       {{0, u"Test Tablets AB"}, {1, u"7.4"}, {2, u"x"}}},
      {"a key longer than any sub-block path", {longKey.c_str(), u"CompanyName"}, {{1, u"Test Tablets AB"}}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(ReadVersions(path, rows[i].keys), rows[i].expected) << "row " << i << " (" << rows[i].name << ")";
  }
  EXPECT_TRUE(platform::ReleaseLibrary(library));
}

TEST(version_strings, files_without_a_version_resource_have_none) {
  platform::LibraryHandle faults = platform::LoadLibraryNamed(u"padscope_fault_fixture.dll");
  ASSERT_NE(faults, nullptr);
  struct Row {
    const char* name;
    std::u16string path;
  };
  const Row rows[] = {
      {"a DLL without a version resource", FullFileName(faults)},
      {"a file that does not exist", u"C:\\padscope\\no\\such\\file.dll"},
      {"an empty path", u""},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(ReadVersions(rows[i].path, {u"FileVersion", u"CompanyName"}), std::vector<FoundValue>{})
        << "row " << i << " (" << rows[i].name << ")";
  }
  EXPECT_TRUE(platform::ReleaseLibrary(faults));
}

}  // namespace
