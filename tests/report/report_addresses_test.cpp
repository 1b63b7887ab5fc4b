// The handle and entry-point rows of a whole report show exactly what the
// system's loader gives for the library the report loaded: the same object,
// held by this test around the run so that it stays at the same address,
// and asked by the loader's own calls, not through the platform seam.
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "report/report_driver.h"
#include "test_support.h"
#include "wintab/wintab_binding.h"

namespace {

using testsupport::MakeState;
using testsupport::ReportString;
using testsupport::RowStart;
using testsupport::StatePtr;

#if defined(_WIN32)
using LoaderHandle = HMODULE;
LoaderHandle HoldLibrary() { return LoadLibraryW(L"WINTAB32.DLL"); }
void DropLibrary(LoaderHandle library) { FreeLibrary(library); }
const void* LoaderExport(LoaderHandle library, const char* name) {
  return reinterpret_cast<const void*>(GetProcAddress(library, name));
}
#else
using LoaderHandle = void*;
LoaderHandle HoldLibrary() { return dlopen(wintab::kLibraryFileName8, RTLD_NOW | RTLD_LOCAL); }
void DropLibrary(LoaderHandle library) { dlclose(library); }
const void* LoaderExport(LoaderHandle library, const char* name) { return dlsym(library, name); }
#endif

// "0x" and every hex digit of a pointer: eight in the 32-bit edition,
// sixteen in the 64-bit one, lower case.
std::u16string PointerText(const void* address) {
  const uint64_t value = reinterpret_cast<uintptr_t>(address);
  std::u16string text = u"0x";
  for (int shift = static_cast<int>(8 * sizeof(void*)) - 4; shift >= 0; shift -= 4) {
    text += u"0123456789abcdef"[(value >> shift) & 0xF];
  }
  return text;
}

// The value of the first row with this label, up to the end of its line.
std::u16string RowValue(const std::u16string& report, const std::u16string& label) {
  const std::u16string start = RowStart(label);
  const size_t at = report.find(start);
  if (at == std::u16string::npos) return u"<no such row>";
  const size_t from = at + start.size();
  return report.substr(from, report.find(u"\r\n", from) - from);
}

TEST(report_addresses, the_handle_and_entry_rows_show_what_the_loader_gives) {
  const LoaderHandle library = HoldLibrary();
  ASSERT_NE(library, nullptr) << "the test needs a WINTAB32.DLL (tests/report/CMakeLists.txt puts the simulated one in reach)";
  ASSERT_NE(LoaderExport(library, wintab::kInfoEntryName), nullptr);
  StatePtr state = MakeState();
  ASSERT_NE(state, nullptr);
  state->safeMode = 1;
  state->showContextDevice = 1;
  RunReport(*state);
  const std::u16string report = ReportString(*state);

  struct Row {
    const char16_t* label;
    const void* expected;
  };
#if defined(_WIN32)
  const void* handle = reinterpret_cast<const void*>(library);
#else
  // dlopen hands out one handle per loaded object.
  const void* handle = library;
#endif
  const Row rows[] = {
      {u"LoadLibrary(\"WINTAB32.DLL\")", handle},
      {u"WTInfoW()", LoaderExport(library, "WTInfoW")},
      {u"WTOpenW()", LoaderExport(library, "WTOpenW")},
      {u"WTClose()", LoaderExport(library, "WTClose")},
      {u"WTEnable()", LoaderExport(library, "WTEnable")},
      {u"WTPacketsGet()", LoaderExport(library, "WTPacketsGet")},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(testsupport::Readable(RowValue(report, row.label)), testsupport::Readable(PointerText(row.expected)))
        << testsupport::Readable(row.label);
  }
  EXPECT_EQ(reinterpret_cast<const void*>(state->infoEntry), LoaderExport(library, "WTInfoW"));
  DropLibrary(library);
}

}  // namespace
