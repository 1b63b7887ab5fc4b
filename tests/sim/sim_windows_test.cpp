// The Windows build of the simulated library: the DLL as the program loads
// it, its version resource and imports, and faults that reach the
// program's structured exception guard with the system's own codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "sim/sim_version.h"
#include "wintab/wintab_binding.h"

namespace {

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

// Copies of the two DLLs next to the test program (see CMakeLists.txt).
constexpr char kSimDllName[] = "sim_wintab32.dll";
constexpr char kNoInfoDllName[] = "sim_wintab32_no_info.dll";

HMODULE SimLibrary(const char* fileName) {
  HMODULE module = LoadLibraryW(Widen(fileName).c_str());
  EXPECT_NE(module, nullptr) << fileName << ": error " << GetLastError();
  return module;
}

std::wstring PathOf(const char* fileName) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(SimLibrary(fileName), path, MAX_PATH);
  EXPECT_TRUE(length > 0 && length < MAX_PATH);
  return path;
}

wintab::WTInfoWEntry InfoEntry() {
  static const auto entry =
      reinterpret_cast<wintab::WTInfoWEntry>(reinterpret_cast<void*>(GetProcAddress(SimLibrary(kSimDllName), "WTInfoW")));
  return entry;
}

// Sets the two variables for one scope and clears them afterwards.
struct ProfileScope {
  ProfileScope(const char* profile, const char* inject) {
    SetEnvironmentVariableA("PADSCOPE_SIM_PROFILE", profile);
    SetEnvironmentVariableA("PADSCOPE_SIM_INJECT", inject);
  }
  ~ProfileScope() {
    SetEnvironmentVariableA("PADSCOPE_SIM_PROFILE", nullptr);
    SetEnvironmentVariableA("PADSCOPE_SIM_INJECT", nullptr);
  }
};

uint32_t AskUint(uint32_t category, uint32_t index) {
  uint32_t value = 0;
  EXPECT_EQ(InfoEntry()(category, index, nullptr), 4u) << category << "," << index;
  EXPECT_EQ(InfoEntry()(category, index, &value), 4u) << category << "," << index;
  return value;
}

TEST(sim_windows, answers_and_follows_the_process_environment) {
  ASSERT_NE(InfoEntry(), nullptr);
  {
    ProfileScope scope(nullptr, nullptr);
    EXPECT_EQ(AskUint(1, wintab::IFC_NDEVICES), 1u);
    EXPECT_EQ(InfoEntry()(3, 0, nullptr), 212u);
    EXPECT_NE(InfoEntry()(0, 0, nullptr), 0u);
  }
  {
    ProfileScope scope("tablet-pc", nullptr);
    EXPECT_EQ(AskUint(1, wintab::IFC_NDEVICES), 2u);
  }
  {
    ProfileScope scope("no-tablet", nullptr);
    EXPECT_EQ(InfoEntry()(0, 0, nullptr), 0u);
  }
}

TEST(sim_windows, exports_the_five_entry_points_by_plain_name) {
  HMODULE full = SimLibrary(kSimDllName);
  HMODULE noInfo = SimLibrary(kNoInfoDllName);
  ASSERT_NE(full, nullptr);
  ASSERT_NE(noInfo, nullptr);
  ASSERT_NE(full, noInfo);
  for (const char* name : {"WTInfoW", "WTOpenW", "WTClose", "WTEnable", "WTPacketsGet"}) {
    EXPECT_NE(GetProcAddress(full, name), nullptr) << name;
    EXPECT_EQ(GetProcAddress(noInfo, name) == nullptr, std::strcmp(name, "WTInfoW") == 0) << name;
  }
}

TEST(sim_windows, imports_only_system_libraries) {
  auto* base = reinterpret_cast<const BYTE*>(SimLibrary(kSimDllName));
  ASSERT_NE(base, nullptr);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(imports.VirtualAddress, 0u);
  int count = 0;
  for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name != 0;
       ++entry, ++count) {
    const char* name = reinterpret_cast<const char*>(base + entry->Name);
    EXPECT_TRUE(_stricmp(name, "KERNEL32.dll") == 0 || _stricmp(name, "msvcrt.dll") == 0) << name;
  }
  EXPECT_GT(count, 0);
}

std::wstring VersionValue(const std::vector<BYTE>& block, const wchar_t* key) {
  wchar_t path[128];
  swprintf(path, 128, L"\\StringFileInfo\\040904b0\\%ls", key);
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), path, &value, &length) || length == 0) return L"<missing>";
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(sim_windows, carries_the_version_resource_of_its_posix_strings) {
  const std::wstring path = PathOf(kSimDllName);
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
  void* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &length));
  ASSERT_GE(length, 4u);
  const auto* pair = static_cast<const WORD*>(translation);
  EXPECT_EQ(pair[0], 0x0409);
  EXPECT_EQ(pair[1], 1200);
  EXPECT_EQ(VersionValue(block, L"FileVersion"), Widen(PADSCOPE_SIM_FILE_VERSION));
  EXPECT_EQ(VersionValue(block, L"CompanyName"), Widen(PADSCOPE_SIM_COMPANY_NAME));
  EXPECT_EQ(VersionValue(block, L"ProductVersion"), Widen(PADSCOPE_SIM_PRODUCT_VERSION));
}

struct Call {
  uint32_t category;
  uint32_t index;
  bool real;
};

void CallInfo(void* argument) {
  static uint8_t buffer[wintab::kMaxAnswerBytes];
  const auto* call = static_cast<const Call*>(argument);
  InfoEntry()(call->category, call->index, call->real ? buffer : nullptr);
}

struct FaultRow {
  const char* inject;
  Call call;
  uint32_t code;
};

TEST(sim_windows, faults_reach_the_guard_with_the_system_codes) {
  static const FaultRow kRows[] = {
      {"1,4,probe,segv", {1, 4, false}, 0xC0000005u},
      {"1,4,real,ill", {1, 4, true}, 0xC000001Du},
      {"device:0,DVC_PKTRATE,probe,fpe", {100, 5, false}, 0xC0000094u},
      {"0,0,probe,raise", {0, 0, false}, 0xE0515301u},
      {"cursor:1,CSR_NAME,real,raise:0xE0000042", {201, 1, true}, 0xE0000042u},
  };
  for (size_t row = 0; row < std::size(kRows); ++row) {
    ProfileScope scope("default", kRows[row].inject);
    Call call = kRows[row].call;
    const platform::GuardOutcome outcome = platform::RunGuarded(CallInfo, &call);
    EXPECT_TRUE(outcome.faulted) << "row " << row << " (" << kRows[row].inject << ")";
    EXPECT_EQ(outcome.code, kRows[row].code) << "row " << row << " (" << kRows[row].inject << ")";
    EXPECT_EQ(AskUint(1, wintab::IFC_NCURSORS), 3u) << "row " << row << ": the next call answers";
  }
}

DWORD WINAPI CallOnThread(void* argument) {
  CallInfo(argument);
  return 0;
}

TEST(sim_windows, a_hung_call_can_be_terminated_and_the_library_goes_on) {
  ProfileScope scope("hang", nullptr);
  Call call = {100, wintab::DVC_PKTDATA, true};
  HANDLE thread = CreateThread(nullptr, 0, CallOnThread, &call, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 500), static_cast<DWORD>(WAIT_TIMEOUT));
  TerminateThread(thread, 1);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  ProfileScope next("tablet-pc", nullptr);
  EXPECT_EQ(AskUint(1, wintab::IFC_NDEVICES), 2u) << "a new profile loads after the terminated call";
}

}  // namespace
