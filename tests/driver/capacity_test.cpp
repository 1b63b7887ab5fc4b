// Reports at the limits of the report text and of the query buffer.
#include <gtest/gtest.h>

#include <string>

#include "report_run.h"

namespace {

constexpr size_t kReportTextUnits = 131073;  // terminator included

std::string Row(const char* label, const std::string& value) {
  std::string row = std::string("\r\n") + label;
  row.resize(2 + 30, ' ');
  return row + " " + value;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(capacity, a_report_past_the_text_keeps_what_fits_and_says_so_once) {
  const std::string report = RunTest("many-cursors", {});
  // Every unit of this report is ASCII, so bytes count units.
  EXPECT_LE(report.size() + 1, kReportTextUnits);
  EXPECT_GT(report.size() + 1, kReportTextUnits - 1100) << "the text should be filled to its end";
  EXPECT_EQ(Count(report, "<report full>"), 1u);
  EXPECT_EQ(report.substr(report.size() - 15), "<report full>\r\n");
  EXPECT_EQ(report.rfind("PADSCOPE x", 0), 0u);
  // The sections before the cut are whole ones, in order.
  EXPECT_NE(report.find("\r\n\r\nWTI_CURSOR+99\r\n"), std::string::npos);
  EXPECT_EQ(report.find("WTI_CURSOR+9999\r\n"), std::string::npos) << "the loop must stop at the cut";
}

TEST(capacity, an_answer_filling_the_whole_buffer_without_a_terminator_is_cut) {
  const std::string report = RunTest("capacity-unterminated", {});
  // One piece holds at most 1023 units: the opening quote and 1022 letters.
  const std::string value = "{131072} {131072} \"" + std::string(1022, 'A');
  EXPECT_NE(report.find(Row("IFC_WINTABID", value) + "\r\nIFC_SPECVERSION"), std::string::npos);
  EXPECT_NE(report.find("FreeLibrary()                  succeeded"), std::string::npos);
}

TEST(capacity, a_size_probe_above_the_buffer_skips_the_real_call) {
  const std::string report = RunTest("capacity-big-probe", {});
  EXPECT_NE(report.find(Row("DVC_NAME", "{200000} <too large for the 131072-byte buffer>") + "\r\nDVC_HARDWARE"),
            std::string::npos)
      << report;
}

TEST(capacity, a_library_writing_past_the_count_it_returns_changes_nothing_else) {
  const std::string report = RunTest("capacity-undercount", {});
  const size_t row = report.find(Row("DVC_NAME", "{ 46} {  4} \""));
  ASSERT_NE(row, std::string::npos) << report;
  EXPECT_NE(report.find("\r\nDVC_HARDWARE", row), std::string::npos);
  EXPECT_NE(report.find("FreeLibrary()                  succeeded"), std::string::npos);
}

TEST(capacity, a_write_beyond_the_buffer_hits_the_guard_page) {
  TestOptions noProbe;
  noProbe.noNullBuffer = true;
  const std::string report = RunTest("capacity-overrun", noProbe);
  EXPECT_NE(report.find(Row("DVC_PNPID", "<exception>") + "\r\n\r\n\r\nWTI_CURSOR+0"), std::string::npos) << report;
  EXPECT_NE(report.find("FreeLibrary()                  succeeded"), std::string::npos);
}

}  // namespace
