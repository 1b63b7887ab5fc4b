// A fault at any one query of the default tablet's report, in the size probe
// or in the real call: with Safe Mode on exactly that row changes (to its
// echoes so far and "<exception>") and every other line stays as it was;
// with Safe Mode off the report ends right there in "<hard exception>".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report_run.h"

namespace {

struct Query {
  const char* heading;  // the section the row stands in
  const char* label;
  unsigned category;
  unsigned index;
};

// Every query the default tablet's report makes after the availability
// probe: the interface, both contexts, device 0 and cursors 0 to 2.
std::vector<Query> DefaultProfileQueries() {
  std::vector<Query> queries = {
      {"WTI_INTERFACE", "IFC_WINTABID", 1, 1},  {"WTI_INTERFACE", "IFC_SPECVERSION", 1, 2},
      {"WTI_INTERFACE", "IFC_IMPLVERSION", 1, 3}, {"WTI_INTERFACE", "IFC_NDEVICES", 1, 4},
      {"WTI_INTERFACE", "IFC_NCURSORS", 1, 5},  {"WTI_INTERFACE", "IFC_NCONTEXTS", 1, 6},
      {"WTI_DEFCONTEXT", "(0)", 3, 0},          {"WTI_DEFSYSCTX", "(0)", 4, 0},
  };
  static const struct {
    const char* label;
    unsigned index;
  } deviceRows[] = {{"DVC_NAME", 1},  {"DVC_HARDWARE", 2},   {"DVC_PKTRATE", 5},      {"DVC_PKTDATA", 6},
                    {"DVC_CSRDATA", 8}, {"DVC_X", 12},       {"DVC_Y", 13},           {"DVC_Z", 14},
                    {"DVC_NPRESSURE", 15}, {"DVC_TPRESSURE", 16}, {"DVC_ORIENTATION", 17}, {"DVC_PNPID", 19}};
  for (const auto& row : deviceRows) queries.push_back({"WTI_DEVICE+0", row.label, 100, row.index});
  static const char* const cursorLabels[] = {
      "CSR_NAME",       "CSR_ACTIVE",     "CSR_PKTDATA",    "CSR_BUTTONS",   "CSR_BUTTONBITS",
      "CSR_BTNNAMES",   "CSR_BUTTONMAP",  "CSR_SYSBTNMAP",  "CSR_NPBUTTON",  "CSR_NPBTNMARKS",
      "CSR_NPRESPONSE", "CSR_TPBUTTON",   "CSR_TPBTNMARKS", "CSR_TPRESPONSE", "CSR_PHYSID",
      "CSR_MODE",       "CSR_MINPKTDATA", "CSR_MINBUTTONS", "CSR_CAPABILITIES"};
  static const char* const cursorHeadings[] = {"WTI_CURSOR+0", "WTI_CURSOR+1", "WTI_CURSOR+2"};
  for (unsigned cursor = 0; cursor < 3; ++cursor) {
    for (unsigned i = 0; i < 19; ++i) queries.push_back({cursorHeadings[cursor], cursorLabels[i], 200 + cursor, i + 1});
  }
  return queries;
}

std::string Padded(const char* label) {
  std::string row = label;
  row.resize(30, ' ');
  return row + " ";
}

// Where the row's value begins in a report: after "\r\n" + heading, the
// first row with this label.
size_t ValueStart(const std::string& report, const Query& query) {
  const size_t heading = report.find(std::string("\r\n") + query.heading + "\r\n");
  if (heading == std::string::npos) return std::string::npos;
  const std::string row = "\r\n" + Padded(query.label);
  const size_t at = report.find(row, heading);
  return at == std::string::npos ? at : at + row.size();
}

// A row's value may span lines (a context, the orientation block), but
// every line it continues onto is indented, a closing brace or empty.
bool IsOneRowsValue(const std::string& value) {
  for (size_t at = value.find("\r\n"); at != std::string::npos; at = value.find("\r\n", at + 2)) {
    const std::string next = value.substr(at + 2, 2);
    if (!(next.empty() || next == "  " || next[0] == '}' || next == "\r\n")) return false;
  }
  return true;
}

// The device and cursor counts decide which sections follow, so a fault
// there changes more than its row.
bool IsCountRow(const Query& query) { return query.category == 1 && (query.index == 4 || query.index == 5); }

std::string Injection(const Query& query, const char* call) {
  return std::to_string(query.category) + "," + std::to_string(query.index) + "," + call + ",segv";
}

class FaultMatrix : public testing::Test {
 protected:
  static void SetUpTestSuite() { baseline_ = new std::string(RunTest("default", {})); }
  static void TearDownTestSuite() { delete baseline_; }
  static std::string* baseline_;
};
std::string* FaultMatrix::baseline_ = nullptr;

TEST_F(FaultMatrix, a_fault_in_safe_mode_costs_exactly_its_row) {
  const std::string& baseline = *baseline_;
  ASSERT_NE(baseline.find("FreeLibrary()                  succeeded"), std::string::npos) << baseline;
  for (const Query& query : DefaultProfileQueries()) {
    const size_t start = ValueStart(baseline, query);
    ASSERT_NE(start, std::string::npos) << query.heading << " " << query.label;
    const std::string probeEcho = baseline.substr(start, 6);  // "{%3u} "
    if (IsCountRow(query)) continue;  // the report's later sections rest on it; see below
    for (const char* call : {"probe", "real"}) {
      const std::string where = std::string(query.heading) + " " + query.label + " (" + call + ")";
      const std::string faulted = RunTest("default", {}, Injection(query, call).c_str());
      if (std::string(call) == "real" && probeEcho == "{  0} ") {
        EXPECT_EQ(faulted, baseline) << where << ": no real call follows a probe of 0";
        continue;
      }
      const std::string expectedValue = (std::string(call) == "real" ? probeEcho : "") + "<exception>";
      ASSERT_EQ(faulted.substr(0, start), baseline.substr(0, start)) << where << ": text before the row";
      ASSERT_EQ(faulted.substr(start, expectedValue.size()), expectedValue) << where;
      const std::string rest = faulted.substr(start + expectedValue.size());
      ASSERT_GE(baseline.size(), start + rest.size()) << where;
      EXPECT_EQ(baseline.substr(baseline.size() - rest.size()), rest) << where << ": text after the row";
      const std::string replaced = baseline.substr(start, baseline.size() - rest.size() - start);
      EXPECT_TRUE(rest.substr(0, 2) == "\r\n") << where << ": the row must end where its value ended";
      EXPECT_TRUE(IsOneRowsValue(replaced)) << where << ": more than the row changed:\n" << replaced;
    }
  }
}

// A count whose query faulted is 0: no device loop (the system context's
// device 0 is then reported through its override), no cursor sections.
TEST_F(FaultMatrix, a_faulted_count_is_zero) {
  const std::string devices = RunTest("default", {}, "1,4,real,segv");
  EXPECT_NE(devices.find("IFC_NDEVICES                   {  4} <exception>\r\n"), std::string::npos) << devices;
  EXPECT_NE(devices.find("\r\n*** OVERRIDE for WTI_DEFSYSCTX::lcDevice ***\r\n\r\nWTI_DEVICE+0\r\n"), std::string::npos);
  EXPECT_NE(devices.find("WTI_CURSOR+2"), std::string::npos);

  const std::string cursors = RunTest("default", {}, "1,5,probe,segv");
  EXPECT_NE(cursors.find("IFC_NCURSORS                   <exception>\r\n"), std::string::npos) << cursors;
  EXPECT_EQ(cursors.find("WTI_CURSOR+"), std::string::npos);
  EXPECT_EQ(cursors.find("OVERRIDE"), std::string::npos);
  EXPECT_NE(cursors.find("\r\nFreeLibrary()                  succeeded\r\n"), std::string::npos);
}

TEST_F(FaultMatrix, without_safe_mode_a_fault_ends_the_report_at_that_point) {
  const std::string& baseline = *baseline_;
  TestOptions unguarded;
  unguarded.safeMode = false;
  for (const Query& query : DefaultProfileQueries()) {
    const size_t start = ValueStart(baseline, query);
    ASSERT_NE(start, std::string::npos);
    const std::string probeEcho = baseline.substr(start, 6);
    if (probeEcho == "{  0} ") continue;
    for (const char* call : {"probe", "real"}) {
      const std::string where = std::string(query.heading) + " " + query.label + " (" + call + ")";
      const std::string expected =
          baseline.substr(0, start) + (std::string(call) == "real" ? probeEcho : "") + "<hard exception>\r\n";
      EXPECT_EQ(RunTest("default", unguarded, Injection(query, call).c_str()), expected) << where;
    }
  }
}

}  // namespace
