// Whole reports of the simulated library compared byte for byte with the
// golden files in tests/golden (CR LF line ends, exact spacing), after the
// machine's own values are replaced by placeholders.
//
// The library found depends on LD_LIBRARY_PATH, fixed per process, so CTest
// runs this program three times: with the simulated library (suite
// WithSimulatedLibrary), with its variant that lacks WTInfoW
// (WithoutInfoEntry) and with no library at all (WithoutLibrary).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "report_normalizer.h"
#include "report_run.h"

namespace {

std::string ReadGolden(const std::string& name) {
  std::ifstream file(std::string(PADSCOPE_GOLDEN_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(file.good()) << "missing golden file " << name;
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

// Reports the first differing line, which says more than two 20 kB texts.
void ExpectMatchesGolden(const std::string& goldenName, const std::string& report) {
  const std::string expected = ReadGolden(goldenName);
  const std::string actual = NormalizeReport(report);
  if (expected == actual) return;
  size_t line = 1, at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) {
    if (expected[at] == '\n') ++line;
    ++at;
  }
  auto lineAround = [at](const std::string& text) {
    const size_t begin = text.rfind('\n', at == 0 ? 0 : at - 1);
    const size_t from = begin == std::string::npos ? 0 : begin + 1;
    return text.substr(from, text.find('\n', at) - from);
  };
  ADD_FAILURE() << goldenName << " differs at line " << line << "\n  expected: [" << lineAround(expected)
                << "]\n  actual:   [" << lineAround(actual) << "]";
  const std::string dump = std::string(PADSCOPE_ACTUAL_DIR) + "/" + goldenName;
  std::ofstream(dump, std::ios::binary) << actual;
}

struct GoldenCase {
  const char* golden;
  const char* profile;
  TestOptions options;
};

TestOptions With(void (*change)(TestOptions&)) {
  TestOptions options;
  change(options);
  return options;
}

const GoldenCase kSimulatedCases[] = {
    {"default.txt", "default", {}},
    {"default-no-null-buffer.txt", "default", With([](TestOptions& o) { o.noNullBuffer = true; })},
    {"no-tablet.txt", "no-tablet", {}},
    {"no-tablet-ignore-probe.txt", "no-tablet", With([](TestOptions& o) { o.ignoreNullQuery = true; })},
    {"zero-counts-override.txt", "zero-counts", With([](TestOptions& o) { o.overrideCounts = true; })},
    {"zero-counts.txt", "zero-counts", {}},
    {"context-device-beyond.txt", "context-device-beyond", {}},
    {"tablet-pc.txt", "tablet-pc", {}},
    {"wrong-sizes.txt", "wrong-sizes", {}},
    {"faults-safe-mode.txt", "faults", {}},
};

class WithSimulatedLibrary : public testing::TestWithParam<GoldenCase> {};

TEST_P(WithSimulatedLibrary, report_equals_golden) {
  const GoldenCase& golden = GetParam();
  ExpectMatchesGolden(golden.golden, RunTest(golden.profile, golden.options));
}

INSTANTIATE_TEST_SUITE_P(Profiles, WithSimulatedLibrary, testing::ValuesIn(kSimulatedCases),
                         [](const testing::TestParamInfo<GoldenCase>& info) {
                           std::string name = info.param.golden;
                           name = name.substr(0, name.find('.'));
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

TEST(WithoutInfoEntry, report_equals_golden) { ExpectMatchesGolden("no-wtinfo.txt", RunTest("default", {})); }

TEST(WithoutLibrary, report_equals_golden) { ExpectMatchesGolden("no-library.txt", RunTest("default", {})); }

}  // namespace
