// Paths of the report that the golden files do not show on their own: the
// system context's device inside or outside the device loop, the context
// device override switched off, an interface count that answers nothing,
// and a library whose file name cannot be read.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "report_normalizer.h"
#include "report_run.h"

// The posix seam learns a library's file name from dlinfo. This program's
// own dlinfo fails while `failLibraryInfo` is set, as the loader does for a
// handle it does not know, and otherwise hands the request on.
namespace {
bool failLibraryInfo = false;
}  // namespace

extern "C" int dlinfo(void* __restrict handle, int request, void* __restrict argument) noexcept {
  if (failLibraryInfo) return -1;
  using DlinfoFunction = int (*)(void*, int, void*);
  static const auto next = reinterpret_cast<DlinfoFunction>(dlsym(RTLD_NEXT, "dlinfo"));
  return next(handle, request, argument);
}

namespace {

// A profile file built on a built-in profile; removed at the end of the test.
class ProfileFile {
 public:
  explicit ProfileFile(const std::string& text) : path_(testing::TempDir() + "padscope_paths_" + Unique() + ".profile") {
    std::ofstream(path_) << text;
  }
  ~ProfileFile() { std::remove(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  static std::string Unique() {
    static int counter = 0;
    return std::to_string(++counter);
  }
  std::string path_;
};

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

constexpr char kOverrideLine[] = "\r\n*** OVERRIDE for WTI_DEFSYSCTX::lcDevice ***\r\n";

TEST(report_paths, a_context_device_inside_the_loop_is_not_reported_again) {
  const ProfileFile profile("base tablet-pc\npatch defsysctx 0 96 u32 1\n");
  const std::string report = RunTest(profile.path(), {});
  EXPECT_NE(report.find("  lcDevice      1\r\n"), std::string::npos) << report;
  EXPECT_EQ(Count(report, "\r\nWTI_DEVICE+0\r\n"), 1u);
  EXPECT_EQ(Count(report, "\r\nWTI_DEVICE+1\r\n"), 1u);
  EXPECT_EQ(report.find(kOverrideLine), std::string::npos);
}

TEST(report_paths, a_context_device_beyond_the_count_follows_the_loop) {
  const std::string report = RunTest("context-device-beyond", {});
  const size_t second = report.find("\r\nWTI_DEVICE+1\r\n");
  const size_t override = report.find(std::string(kOverrideLine) + "\r\nWTI_DEVICE+3\r\n");
  ASSERT_NE(second, std::string::npos);
  ASSERT_NE(override, std::string::npos) << report;
  EXPECT_LT(second, override);
}

TEST(report_paths, without_the_context_device_option_there_is_no_override) {
  TestOptions options;
  options.showContextDevice = false;
  for (const char* profile : {"context-device-beyond", "zero-counts"}) {
    const std::string report = RunTest(profile, options);
    EXPECT_EQ(report.find("OVERRIDE for WTI_DEFSYSCTX"), std::string::npos) << profile;
    EXPECT_EQ(report.find("WTI_DEVICE+3"), std::string::npos) << profile;
  }
  const std::string zero = RunTest("zero-counts", options);
  EXPECT_EQ(zero.find("WTI_DEVICE+"), std::string::npos) << "no device loop, no override";
}

// IFC_NCONTEXTS is only shown: 0, 4 or 8 bytes, the report goes on alike.
TEST(report_paths, the_context_count_answer_does_not_change_what_follows) {
  const std::string fourBytes = RunTest("default", {});
  const size_t defaultContext = fourBytes.find("\r\n\r\nWTI_DEFCONTEXT\r\n");
  ASSERT_NE(defaultContext, std::string::npos);
  const std::string rest = fourBytes.substr(defaultContext);
  struct Row {
    const char* name;
    const char* profileText;
    const char* row;
  };
  const Row rows[] = {
      {"0 bytes", "base default\nitem interface IFC_NCONTEXTS empty\n", "IFC_NCONTEXTS                  {  0} "},
      {"8 bytes", "base default\nitem interface IFC_NCONTEXTS u32 16 0\n",
       "IFC_NCONTEXTS                  {  8} {  8} <invalid buffer length: expected 4>"},
  };
  for (const Row& row : rows) {
    const ProfileFile profile(row.profileText);
    const std::string report = RunTest(profile.path(), {});
    const size_t at = report.find(std::string("\r\n") + row.row + "\r\n\r\nWTI_DEFCONTEXT\r\n");
    ASSERT_NE(at, std::string::npos) << row.name << "\n" << report;
    EXPECT_EQ(report.substr(report.find("\r\n\r\nWTI_DEFCONTEXT\r\n")), rest) << row.name;
  }
}

// The path cannot be read: the row says so with the error code (6, the
// posix seam's code for a handle it cannot use), no version rows follow,
// and the run goes on with the entry points exactly as it does otherwise.
TEST(report_paths, a_library_path_that_cannot_be_read_fails_in_its_row_and_the_run_goes_on) {
  const std::string usual = RunTest("default", {});
  failLibraryInfo = true;
  const std::string failed = RunTest("default", {});
  failLibraryInfo = false;

  const std::string pathRow = "\r\nGetModuleFileNameW()           ";
  const std::string entryRows = "\r\n\r\nWTInfoW()  ";
  const size_t path = usual.find(pathRow);
  const size_t entries = usual.find(entryRows);
  ASSERT_NE(path, std::string::npos);
  ASSERT_NE(entries, std::string::npos);
  ASSERT_NE(usual.substr(path, entries - path).find("\r\nFileVersion"), std::string::npos)
      << "the usual report has version rows to skip";
  const std::string expected = usual.substr(0, path) + pathRow + "failed GLE=6" + usual.substr(entries);
  // The library may be mapped elsewhere in the second run.
  EXPECT_EQ(NormalizeReport(failed), NormalizeReport(expected));
}

}  // namespace
