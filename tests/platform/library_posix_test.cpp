// Libraries, file names and version strings of the posix seam, against two
// small shared objects built with the tests (FIXTURE_PATH exports version
// strings, DEPENDENT_PATH only depends on it).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "version_reading.h"

namespace {

using versiontest::FoundValue;
using versiontest::Narrow;
using versiontest::ReadVersions;

constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorModuleNotFound = 126;
constexpr uint32_t kErrorProcedureNotFound = 127;
constexpr uint32_t kErrorBadImage = 193;

// The build directory's paths are plain ASCII.
std::u16string Widen(const std::string& text) {
  std::u16string wide;
  for (const char c : text) {
    EXPECT_GE(static_cast<unsigned char>(c), 0x20) << "unexpected byte in " << text;
    EXPECT_LT(static_cast<unsigned char>(c), 0x80) << "unexpected byte in " << text;
    wide += static_cast<char16_t>(c);
  }
  return wide;
}

TEST(libraries, loads_by_plain_name_through_the_search_path_and_finds_exports) {
  platform::LibraryHandle library = platform::LoadLibraryNamed(Widen(FIXTURE_FILE_NAME).c_str());
  ASSERT_NE(library, nullptr) << "LD_LIBRARY_PATH should lead to " << FIXTURE_FILE_NAME;
  auto* answer = reinterpret_cast<int (*)()>(platform::FindEntryPoint(library, "FixtureAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 4711);
  EXPECT_EQ(platform::FindEntryPoint(library, "NoSuchExport"), nullptr);
  EXPECT_EQ(platform::LastErrorCode(), kErrorProcedureNotFound);
  EXPECT_TRUE(platform::ReleaseLibrary(library));
}

// A null library or name is refused with the code Windows gives, never
// handed to the loader; the code is not left over from an earlier failure.
TEST(libraries, null_arguments_are_refused_with_the_windows_code) {
  constexpr uint32_t kErrorInvalidHandle = 6;
  platform::LibraryHandle library = platform::LoadLibraryNamed(Widen(FIXTURE_FILE_NAME).c_str());
  ASSERT_NE(library, nullptr);
  struct Row {
    const char* name;
    bool (*call)(platform::LibraryHandle loaded);  // true when the call failed as it should
    uint32_t code;
  };
  static const Row rows[] = {
      {"FindEntryPoint of no library",
       [](platform::LibraryHandle) { return platform::FindEntryPoint(nullptr, "FixtureAnswer") == nullptr; },
       kErrorInvalidHandle},
      {"FindEntryPoint of no name",
       [](platform::LibraryHandle loaded) { return platform::FindEntryPoint(loaded, nullptr) == nullptr; },
       kErrorProcedureNotFound},
      {"ReleaseLibrary of no library", [](platform::LibraryHandle) { return !platform::ReleaseLibrary(nullptr); },
       kErrorInvalidHandle},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(platform::LoadLibraryNamed(u"libpadscope_no_such_library.so"), nullptr);
    ASSERT_EQ(platform::LastErrorCode(), kErrorModuleNotFound);
    EXPECT_TRUE(row.call(library)) << row.name;
    EXPECT_EQ(platform::LastErrorCode(), row.code) << row.name;
  }
  EXPECT_TRUE(platform::ReleaseLibrary(library));
}

TEST(libraries, a_failed_load_tells_why_with_the_windows_code) {
  // Named after the process, so that two runs at once do not share it.
  const std::filesystem::path notALibrary =
      std::filesystem::temp_directory_path() / ("padscope_not_a_library_" + std::to_string(getpid()) + ".so");
  {
    std::FILE* file = std::fopen(notALibrary.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("this is text, not a shared object\n", file);
    std::fclose(file);
  }
  struct Row {
    const char* name;
    std::u16string fileName;
    uint32_t code;
  };
  const Row rows[] = {
      {"missing plain name", u"libpadscope_no_such_library.so", kErrorModuleNotFound},
      {"missing absolute path", u"/nonexistent/dir/libpadscope_missing.so", kErrorModuleNotFound},
      {"empty name", u"", kErrorModuleNotFound},
      {"a file that is not a library", Widen(notALibrary.string()), kErrorBadImage},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(platform::LoadLibraryNamed(rows[i].fileName.c_str()), nullptr) << "row " << i << " (" << rows[i].name << ")";
    EXPECT_EQ(platform::LastErrorCode(), rows[i].code) << "row " << i << " (" << rows[i].name << ")";
  }
  std::filesystem::remove(notALibrary);
}

TEST(libraries, file_name_follows_the_cut_rules_of_a_module_file_name) {
  platform::LibraryHandle library = platform::LoadLibraryNamed(Widen(FIXTURE_PATH).c_str());
  ASSERT_NE(library, nullptr);
  const std::u16string expected = Widen(std::filesystem::canonical(FIXTURE_PATH).string());
  const uint32_t length = static_cast<uint32_t>(expected.size());
  ASSERT_GT(length, 2u);

  struct Row {
    const char* name;
    uint32_t capacity;
    uint32_t result;     // what the call returns
    uint32_t copied;     // path units before the terminator
    bool cut;
  };
  const Row rows[] = {
      {"room to spare", length + 5, length, length, false},
      {"exactly enough", length + 1, length, length, false},
      {"no room for the terminator", length, length, length - 1, true},
      {"one unit short", length - 1, length - 1, length - 2, true},
      {"terminator only", 1, 1, 0, true},
  };
  constexpr char16_t kPoison = 0x1111;
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    std::vector<char16_t> out(length + 8, kPoison);
    const uint32_t result = platform::LibraryFileName(library, out.data(), row.capacity);
    EXPECT_EQ(result, row.result) << "row " << i << " (" << row.name << ")";
    EXPECT_EQ(std::u16string(out.data(), row.copied), expected.substr(0, row.copied)) << "row " << i << " (" << row.name << ")";
    EXPECT_EQ(out[row.copied], 0) << "row " << i << " (" << row.name << "): terminator";
    EXPECT_EQ(out[row.capacity], kPoison) << "row " << i << " (" << row.name << "): wrote past the capacity";
    if (row.cut) {
      EXPECT_EQ(platform::LastErrorCode(), kErrorInsufficientBuffer) << "row " << i << " (" << row.name << ")";
    }
  }
  char16_t untouched = kPoison;
  EXPECT_EQ(platform::LibraryFileName(library, &untouched, 0), 0u);
  EXPECT_EQ(untouched, kPoison);
  EXPECT_TRUE(platform::ReleaseLibrary(library));
}

// File names cross the posix seam as UTF-8: to dlopen when a library is
// loaded by its UTF-16 name, and back to UTF-16 when its file name is asked.
// Copies of the fixture in folders whose names hold each length of UTF-8
// sequence at its smallest and largest code point come back under the
// very name they were loaded by; folder names that are not UTF-8 come back
// with one U+FFFD per byte that does not belong to a well-formed sequence.
TEST(libraries, file_names_convert_between_utf8_and_utf16_both_ways) {
  struct Row {
    const char* name;
    std::string utf8;      // the folder name's bytes, encoded by hand
    std::u16string utf16;  // the name the platform must report
    bool wellFormed;       // so it can also be loaded by its UTF-16 name
  };
  const Row rows[] = {
      {"1 byte: U+0001 and U+007F", "a\x01\x7f", u"a\u0001\u007f", true},
      {"2 bytes: U+0080 and U+07FF", "\xc2\x80\xdf\xbf", u"\u0080\u07ff", true},
      {"3 bytes: U+0800 and U+FFFF", "\xe0\xa0\x80\xef\xbf\xbf", u"\u0800\uffff", true},
      {"3 bytes: U+D7FF and U+E000 around the surrogates", "\xed\x9f\xbf\xee\x80\x80", u"\ud7ff\ue000", true},
      {"4 bytes: U+10000 and U+10FFFF", "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", u"\U00010000\U0010FFFF", true},
      {"a stray continuation byte", "x\x80y", u"x\ufffdy", false},
      {"an overlong '/' in two bytes", "\xc0\xaf", u"\ufffd\ufffd", false},
      {"an overlong U+007F in two bytes", "\xc1\xbf", u"\ufffd\ufffd", false},
      {"an overlong U+07FF in three bytes", "\xe0\x9f\xbf", u"\ufffd\ufffd\ufffd", false},
      {"an overlong U+FFFF in four bytes", "\xf0\x8f\xbf\xbf", u"\ufffd\ufffd\ufffd\ufffd", false},
      {"a surrogate in three bytes", "\xed\xa0\x80", u"\ufffd\ufffd\ufffd", false},
      {"beyond U+10FFFF", "\xf4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd", false},
      {"a sequence cut short", "\xe2\x82z", u"\ufffd\ufffdz", false},
  };
  const std::filesystem::path root =
      std::filesystem::canonical(std::filesystem::temp_directory_path()) / ("padscope_utf8_" + std::to_string(getpid()));
  std::filesystem::remove_all(root);
  ASSERT_TRUE(std::filesystem::create_directory(root));
  const std::u16string fileName = Widen(FIXTURE_FILE_NAME);
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    const std::filesystem::path folder = root / (std::to_string(i) + row.utf8);
    ASSERT_TRUE(std::filesystem::create_directory(folder)) << row.name;
    const std::filesystem::path copy = folder / FIXTURE_FILE_NAME;
    std::filesystem::copy_file(FIXTURE_PATH, copy);
    const std::u16string expected = Widen(root.string()) + u"/" + Widen(std::to_string(i)) + row.utf16 + u"/" + fileName;

    platform::LibraryHandle library = nullptr;
    if (row.wellFormed) {
      library = platform::LoadLibraryNamed(expected.c_str());
      EXPECT_NE(library, nullptr) << "row " << i << " (" << row.name << "): not found by its UTF-16 name";
    }
    if (library == nullptr) library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << "row " << i << " (" << row.name << ")";
    std::vector<char16_t> out(expected.size() + 64, 0);
    const uint32_t length = platform::LibraryFileName(library, out.data(), static_cast<uint32_t>(out.size()));
    EXPECT_EQ(std::u16string(out.data(), length), expected) << "row " << i << " (" << row.name << ")";
    EXPECT_TRUE(platform::ReleaseLibrary(library)) << "row " << i;
  }
  std::filesystem::remove_all(root);
}

TEST(libraries, system_library_file_name_is_the_kernel_release_file) {
  const std::u16string expected = u"/proc/sys/kernel/osrelease";
  char16_t out[64];
  EXPECT_EQ(platform::SystemLibraryFileName(out, 64), expected.size());
  EXPECT_EQ(std::u16string(out), expected);
  EXPECT_EQ(platform::SystemLibraryFileName(out, 6), 6u);
  EXPECT_EQ(std::u16string(out), expected.substr(0, 5));
}

TEST(version_strings, system_library_product_version_is_the_kernel_release) {
  utsname names{};
  ASSERT_EQ(uname(&names), 0);
  const std::vector<FoundValue> found =
      ReadVersions(u"/proc/sys/kernel/osrelease", {u"FileVersion", u"ProductVersion", u"CompanyName"});
  const std::vector<FoundValue> expected = {{1, Widen(names.release)}};
  EXPECT_EQ(found, expected);
}

TEST(version_strings, a_loaded_library_reports_the_keys_asked_in_key_order) {
  platform::LibraryHandle library = platform::LoadLibraryNamed(Widen(FIXTURE_PATH).c_str());
  ASSERT_NE(library, nullptr);
  struct Row {
    const char* name;
    std::vector<const char16_t*> keys;
    std::vector<FoundValue> expected;
  };
  const Row rows[] = {
      {"file version and company", {u"FileVersion", u"CompanyName"}, {{0, u"7.4.2.19"}, {1, u"Test Tablets \u00c5B"}}},
      {"a missing key is skipped", {u"FileVersion", u"LegalCopyright", u"CompanyName"},
       {{0, u"7.4.2.19"}, {2, u"Test Tablets \u00c5B"}}},
      {"key order, not table order", {u"ProductVersion", u"FileVersion"}, {{0, u"7.4"}, {1, u"7.4.2.19"}}},
      {"a prefix of a key is not the key", {u"File", u"FileVersionX"}, {}},
      {"no keys", {}, {}},
  };
  const std::u16string path = Widen(std::filesystem::canonical(FIXTURE_PATH).string());
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(ReadVersions(path, rows[i].keys), rows[i].expected) << "row " << i << " (" << rows[i].name << ")";
  }
  EXPECT_TRUE(platform::ReleaseLibrary(library));
}

TEST(version_strings, a_library_that_is_not_loaded_has_none_and_stays_unloaded) {
  ASSERT_EQ(dlopen(DEPENDENT_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);
  EXPECT_EQ(ReadVersions(Widen(DEPENDENT_PATH), {u"FileVersion"}), std::vector<FoundValue>{});
  EXPECT_EQ(dlopen(DEPENDENT_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);
  EXPECT_EQ(ReadVersions(u"/nonexistent/libnothing.so", {u"FileVersion"}), std::vector<FoundValue>{});
}

TEST(version_strings, a_dependency_strings_are_not_the_library_own) {
  platform::LibraryHandle library = platform::LoadLibraryNamed(Widen(DEPENDENT_PATH).c_str());
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(ReadVersions(Widen(DEPENDENT_PATH), {u"FileVersion", u"CompanyName"}), std::vector<FoundValue>{});
  EXPECT_TRUE(platform::ReleaseLibrary(library));
}

}  // namespace
