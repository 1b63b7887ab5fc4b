// The WTInfoW contract of the built library, as the program relies on it.
#include <dlfcn.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "sim/sim_version.h"
#include "sim_library.h"

namespace {

using simtest::Answer;
using simtest::Ask;
using simtest::Describe;
using simtest::ProfileScope;

constexpr uint32_t kDeviceIndices[] = {1, 2, 5, 6, 8, 12, 13, 14, 15, 16, 17, 19};

// Every question the program asks, for the counts the profile reports
// (cursors limited to the first few).
std::vector<std::pair<uint32_t, uint32_t>> QuestionsOfAReport() {
  std::vector<std::pair<uint32_t, uint32_t>> questions;
  for (uint32_t index = 1; index <= 6; ++index) questions.emplace_back(wintab::WTI_INTERFACE, index);
  questions.emplace_back(wintab::WTI_DEFCONTEXT, 0);
  questions.emplace_back(wintab::WTI_DEFSYSCTX, 0);
  const uint32_t devices = simtest::ReadUint32(Ask(wintab::WTI_INTERFACE, wintab::IFC_NDEVICES).bytes);
  const uint32_t cursors = simtest::ReadUint32(Ask(wintab::WTI_INTERFACE, wintab::IFC_NCURSORS).bytes);
  for (uint32_t device = 0; device < std::max(devices, 1u); ++device) {
    for (uint32_t index : kDeviceIndices) questions.emplace_back(wintab::WTI_DEVICES + device, index);
  }
  for (uint32_t cursor = 0; cursor < std::min(std::max(cursors, 1u), 5u); ++cursor) {
    for (uint32_t index = 1; index <= 19; ++index) questions.emplace_back(wintab::WTI_CURSORS + cursor, index);
  }
  return questions;
}

TEST(sim_contract, healthy_profiles_write_exactly_what_the_probe_announced) {
  for (const char* name : {"default", "tablet-pc", "zero-counts", "context-device-beyond", "many-cursors"}) {
    ProfileScope scope(name);
    ASSERT_STREQ(simtest::Library().profileError(), "") << name;
    EXPECT_NE(simtest::Library().info(0, 0, nullptr), 0u) << name << ": the availability probe";
    for (const auto& [category, index] : QuestionsOfAReport()) {
      const Answer answer = Ask(category, index);
      EXPECT_EQ(answer.realCount, answer.probeCount) << name << ", " << Describe(category, index);
      EXPECT_FALSE(answer.wroteBeyondCount) << name << ", " << Describe(category, index);
    }
  }
}

struct SizeRow {
  uint32_t category;
  uint32_t index;
  uint32_t bytes;
};

TEST(sim_contract, default_answers_have_the_sizes_of_their_wintab_types) {
  ProfileScope scope("default");
  std::vector<SizeRow> rows = {
      {1, wintab::IFC_SPECVERSION, 2}, {1, wintab::IFC_IMPLVERSION, 2}, {1, wintab::IFC_NDEVICES, 4},
      {1, wintab::IFC_NCURSORS, 4},    {1, wintab::IFC_NCONTEXTS, 4},   {3, 0, 212},
      {4, 0, 212},                     {100, wintab::DVC_HARDWARE, 4},  {100, wintab::DVC_PKTRATE, 4},
      {100, wintab::DVC_PKTDATA, 4},   {100, wintab::DVC_CSRDATA, 4},   {100, wintab::DVC_X, 16},
      {100, wintab::DVC_Y, 16},        {100, wintab::DVC_Z, 0},         {100, wintab::DVC_NPRESSURE, 16},
      {100, wintab::DVC_TPRESSURE, 16}, {100, wintab::DVC_ORIENTATION, 48},
  };
  for (uint32_t cursor = 200; cursor < 203; ++cursor) {
    for (SizeRow row : std::initializer_list<SizeRow>{
             {0, wintab::CSR_ACTIVE, 4}, {0, wintab::CSR_PKTDATA, 4}, {0, wintab::CSR_BUTTONS, 1},
             {0, wintab::CSR_BUTTONBITS, 1}, {0, wintab::CSR_NPBUTTON, 1}, {0, wintab::CSR_TPBUTTON, 1},
             {0, wintab::CSR_NPBTNMARKS, 2}, {0, wintab::CSR_TPBTNMARKS, 2}, {0, wintab::CSR_PHYSID, 4},
             {0, wintab::CSR_MODE, 4}, {0, wintab::CSR_MINPKTDATA, 4}, {0, wintab::CSR_MINBUTTONS, 4},
             {0, wintab::CSR_CAPABILITIES, 4}}) {
      rows.push_back({cursor, row.index, row.bytes});
    }
  }
  for (const SizeRow& row : rows) {
    EXPECT_EQ(Ask(row.category, row.index).realCount, row.bytes) << Describe(row.category, row.index);
  }
  // Texts end in a zero unit; arrays of UINT hold at most 256 values.
  for (auto [category, index] : std::initializer_list<std::pair<uint32_t, uint32_t>>{
           {1, wintab::IFC_WINTABID}, {100, wintab::DVC_NAME}, {100, wintab::DVC_PNPID},
           {200, wintab::CSR_NAME}, {201, wintab::CSR_NAME}, {202, wintab::CSR_NAME}}) {
    const Answer answer = Ask(category, index);
    ASSERT_GE(answer.realCount, 4u) << Describe(category, index);
    EXPECT_EQ(answer.realCount % 2, 0u) << Describe(category, index);
    EXPECT_EQ(simtest::ReadText(answer.bytes).size() * 2 + 2, answer.realCount) << Describe(category, index);
  }
  for (uint32_t cursor = 200; cursor < 203; ++cursor) {
    for (uint32_t index : {wintab::CSR_NPRESPONSE, wintab::CSR_TPRESPONSE}) {
      const uint32_t count = Ask(cursor, index).realCount;
      EXPECT_TRUE(count > 0 && count % 4 == 0 && count <= 1024) << Describe(cursor, index) << ": " << count;
    }
    const Answer names = Ask(cursor, wintab::CSR_BTNNAMES);
    ASSERT_GE(names.bytes.size(), 4u);
    EXPECT_EQ(simtest::ReadUint32(names.bytes, names.bytes.size() - 4), 0u)
        << Describe(cursor, wintab::CSR_BTNNAMES) << ": a list of names ends with an empty name";
  }
}

TEST(sim_contract, default_profile_describes_one_pen_tablet) {
  ProfileScope scope("default");
  EXPECT_EQ(Ask(1, wintab::IFC_SPECVERSION).bytes, (std::vector<uint8_t>{0x04, 0x01})) << "version 1.4";
  EXPECT_EQ(simtest::ReadUint32(Ask(1, wintab::IFC_NDEVICES).bytes), 1u);
  EXPECT_EQ(simtest::ReadUint32(Ask(1, wintab::IFC_NCURSORS).bytes), 3u);
  EXPECT_EQ(simtest::ReadUint32(Ask(1, wintab::IFC_NCONTEXTS).bytes), 16u);
  for (uint32_t category : {wintab::WTI_DEFCONTEXT, wintab::WTI_DEFSYSCTX}) {
    EXPECT_EQ(simtest::ReadUint32(Ask(category, 0).bytes, offsetof(wintab::LOGCONTEXTW, lcDevice)), 0u)
        << "category " << category;
  }
  EXPECT_EQ(simtest::ReadUint32(Ask(100, wintab::DVC_X).bytes, offsetof(wintab::AXIS, axUnits)), 2u)
      << "DVC_X in centimetres";
  // The three orientation axes of the worked example: azimuth, altitude, twist.
  const wintab::AXIS kOrientation[3] = {
      {0, 3600, 3, 0x0E100000}, {-1000, 1000, 3, 0x03E80000}, {0, 3600, 3, 0x0E100000}};
  const Answer orientation = Ask(100, wintab::DVC_ORIENTATION);
  ASSERT_EQ(orientation.bytes.size(), sizeof kOrientation);
  EXPECT_EQ(std::memcmp(orientation.bytes.data(), kOrientation, sizeof kOrientation), 0);
}

TEST(sim_contract, items_not_in_the_profile_answer_zero_and_write_nothing) {
  ProfileScope scope("default");
  const std::pair<uint32_t, uint32_t> kAbsent[] = {
      {1, 0}, {1, 7}, {2, 0}, {3, 1}, {100, 14}, {100, 99}, {101, 1}, {199, 1},
      {203, 1}, {200, 20}, {5, 0}, {0xFFFFFFFF, 0xFFFFFFFF},
  };
  for (const auto& [category, index] : kAbsent) {
    const Answer answer = Ask(category, index, 64);
    EXPECT_EQ(answer.probeCount, 0u) << Describe(category, index);
    EXPECT_EQ(answer.realCount, 0u) << Describe(category, index);
    EXPECT_FALSE(answer.wroteBeyondCount) << Describe(category, index);
  }
}

TEST(sim_contract, no_tablet_answers_nothing_at_all) {
  ProfileScope scope("no-tablet");
  EXPECT_EQ(simtest::Library().info(0, 0, nullptr), 0u);
  for (const auto& [category, index] : QuestionsOfAReport()) {
    EXPECT_EQ(Ask(category, index, 64).realCount, 0u) << Describe(category, index);
  }
}

TEST(sim_contract, the_variant_without_wtinfo_lacks_only_that_entry_point) {
  void* handle = dlopen(SIM_NO_INFO_LIBRARY_PATH, RTLD_NOW);
  ASSERT_NE(handle, nullptr) << dlerror();
  EXPECT_EQ(dlsym(handle, "WTInfoW"), nullptr);
  for (const char* name : {"WTOpenW", "WTClose", "WTEnable", "WTPacketsGet"}) {
    EXPECT_NE(dlsym(handle, name), nullptr) << name;
  }
  dlclose(handle);
  for (const char* name : {"WTInfoW", "WTOpenW", "WTClose", "WTEnable", "WTPacketsGet"}) {
    EXPECT_NE(dlsym(simtest::Library().handle, name), nullptr) << name;
  }
}

TEST(sim_contract, is_found_by_its_plain_file_name_on_the_library_path) {
  void* handle = dlopen("WINTAB32.DLL", RTLD_NOW);
  ASSERT_NE(handle, nullptr) << "run with LD_LIBRARY_PATH naming the library's folder: " << dlerror();
  EXPECT_EQ(dlsym(handle, "WTInfoW"), reinterpret_cast<void*>(simtest::Library().info))
      << "the same library as " << SIM_LIBRARY_PATH;
  dlclose(handle);
}

std::u16string Widen(const char* text) { return std::u16string(text, text + std::strlen(text)); }

TEST(sim_contract, declares_the_version_texts_of_its_windows_resource) {
  const auto* strings = static_cast<const char16_t*>(dlsym(simtest::Library().handle, "PadscopeVersionStrings"));
  ASSERT_NE(strings, nullptr);
  std::map<std::u16string, std::u16string> values;
  size_t pairs = 0;
  for (const char16_t* at = strings; *at != 0 && pairs < 64; ++pairs) {
    const std::u16string key(at);
    at += key.size() + 1;
    const std::u16string value(at);
    at += value.size() + 1;
    values[key] = value;
  }
  ASSERT_LT(pairs, 64u) << "the list must end with an empty key";
  EXPECT_EQ(values[u"FileVersion"], Widen(PADSCOPE_SIM_FILE_VERSION));
  EXPECT_EQ(values[u"CompanyName"], Widen(PADSCOPE_SIM_COMPANY_NAME));
  EXPECT_EQ(values[u"ProductVersion"], Widen(PADSCOPE_SIM_PRODUCT_VERSION));
  EXPECT_EQ(values[u"OriginalFilename"], u"WINTAB32.DLL");
}

}  // namespace

namespace {

// The pen entry points of the built library, found by name as a host finds them.
struct PenEntries {
  wintab::WTOpenWEntry open;
  wintab::WTEnableEntry enable;
  wintab::WTPacketsGetEntry packetsGet;
  wintab::WTCloseEntry close;
};

PenEntries FindPenEntries() {
  void* library = simtest::Library().handle;
  return PenEntries{reinterpret_cast<wintab::WTOpenWEntry>(dlsym(library, "WTOpenW")),
                    reinterpret_cast<wintab::WTEnableEntry>(dlsym(library, "WTEnable")),
                    reinterpret_cast<wintab::WTPacketsGetEntry>(dlsym(library, "WTPacketsGet")),
                    reinterpret_cast<wintab::WTCloseEntry>(dlsym(library, "WTClose"))};
}

// Records of lcPktData PK_TIME | PK_X: time, then x, 4 bytes each.
constexpr uint32_t kTimeAndX = wintab::PK_TIME | wintab::PK_X;

TEST(sim_contract, a_context_plays_the_stroke_once_from_its_first_enable) {
  ProfileScope scope("default");
  const PenEntries pen = FindPenEntries();
  ASSERT_TRUE(pen.open && pen.enable && pen.packetsGet && pen.close);
  wintab::LOGCONTEXTW context{};
  context.lcPktData = kTimeAndX;
  void* handle = pen.open(nullptr, &context, 0);
  ASSERT_NE(handle, nullptr);
  uint32_t records[2 * 16 + 1];
  std::memset(records, 0x11, sizeof records);
  usleep(50000);
  EXPECT_EQ(pen.packetsGet(handle, 16, records), 0) << "not enabled: no packets";
  ASSERT_EQ(pen.enable(handle, 1), 1);
  // The first packet is ready at once, the others 20 ms apart (160 ms in all).
  const int first = pen.packetsGet(handle, 1, records);
  ASSERT_EQ(first, 1);
  EXPECT_EQ(records[0], 1000u);
  EXPECT_EQ(records[1], 10000u);
  EXPECT_EQ(records[2], 0x11111111u) << "written past the one record asked";
  usleep(300000);
  EXPECT_EQ(pen.packetsGet(handle, 0, records), 0);
  ASSERT_EQ(pen.packetsGet(handle, 16, records), 8);
  for (uint32_t n = 0; n < 8; ++n) {
    EXPECT_EQ(records[2 * n], 1020u + 20 * n) << "packet " << n + 2;
    EXPECT_EQ(static_cast<int32_t>(records[2 * n + 1]), n < 7 ? 10500 + 500 * static_cast<int32_t>(n) : 13500)
        << "packet " << n + 2;
  }
  EXPECT_EQ(records[16], 0x11111111u);
  EXPECT_EQ(pen.packetsGet(handle, 16, records), 0) << "each packet comes once";
  EXPECT_EQ(pen.close(handle), 1);
  EXPECT_EQ(pen.close(handle), 0) << "a closed handle is unknown";
  EXPECT_EQ(pen.enable(handle, 1), 0);
  EXPECT_EQ(pen.packetsGet(reinterpret_cast<void*>(uintptr_t{99}), 16, records), 0);
}

}  // namespace
