// Asks WINTAB32.DLL every question that a PADSCOPE report can ask and
// writes the raw answers to standard output, one line each, for test code
// that derives the expected report from them on its own:
//
//   probe COUNT                        WTInfoW(0, 0, NULL)
//   item CATEGORY INDEX PROBE REAL HEX the size probe (NULL buffer), then the
//                                      real call into a zeroed 131072-byte
//                                      buffer (made whatever the probe said);
//                                      HEX is the buffer up to its last
//                                      nonzero byte or the count, if longer
//   version KEY VALUE                  a version resource string of the library
//   entry NAME 1|0                     whether the library exports NAME
//   release succeeded|failed           what FreeLibrary answered
//   error TEXT                         the library is missing
//
// Asked: the interface, both default contexts, every device below the
// device count (at least device 0) and the system context's device, and
// the cursors from 0 to the cursor count: one more than a report walks,
// which shows what a library keeps behind its last counted cursor.
#ifndef UNICODE
#define UNICODE
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using InfoEntry = UINT(WINAPI*)(UINT, UINT, LPVOID);

constexpr size_t kBufferBytes = 131072;
constexpr UINT kDeviceIndices[] = {1, 2, 5, 6, 8, 12, 13, 14, 15, 16, 17, 19};
constexpr UINT kCursorIndices = 19;

std::vector<unsigned char> buffer(kBufferBytes);

// Asks one item and prints its line; returns the real call's count and
// leaves its answer in `buffer`.
UINT Ask(InfoEntry info, UINT category, UINT index) {
  const UINT probe = info(category, index, nullptr);
  std::memset(buffer.data(), 0, buffer.size());
  const UINT real = info(category, index, buffer.data());
  size_t shown = real < kBufferBytes ? real : kBufferBytes;
  for (size_t i = shown; i < kBufferBytes; ++i) {
    if (buffer[i] != 0) shown = i + 1;
  }
  std::string line = "item " + std::to_string(category) + " " + std::to_string(index) + " " +
                     std::to_string(probe) + " " + std::to_string(real) + " ";
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < shown; ++i) {
    line += kDigits[buffer[i] >> 4];
    line += kDigits[buffer[i] & 15];
  }
  line += '\n';
  std::fputs(line.c_str(), stdout);
  return real;
}

uint32_t FirstWord(UINT count) {
  uint32_t value = 0;
  if (count != 0) std::memcpy(&value, buffer.data(), sizeof(value));
  return value;
}

void PrintVersionStrings(HMODULE library) {
  wchar_t path[MAX_PATH + 1] = {};
  if (GetModuleFileNameW(library, path, MAX_PATH) == 0) return;
  const DWORD size = GetFileVersionInfoSizeW(path, nullptr);
  if (size == 0) return;
  std::vector<unsigned char> block(size);
  const WORD* translation = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoW(path, 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", (void**)&translation, &length) || length < 4) {
    return;
  }
  for (const wchar_t* key : {L"FileVersion", L"CompanyName"}) {
    wchar_t subBlock[200];
    swprintf(subBlock, 200, L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1], key);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(block.data(), subBlock, (void**)&value, &length)) continue;
    char utf8[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, value, static_cast<int>(wcsnlen(value, length)), utf8, sizeof(utf8) - 1, nullptr,
                        nullptr);
    std::printf("version %ls %s\n", key, utf8);
  }
}

// The report's questions in the report's order.
void AskAll(InfoEntry info) {
  std::printf("probe %u\n", info(0, 0, nullptr));
  uint32_t devices = 0, cursors = 0;
  for (UINT index = 1; index <= 6; ++index) {
    const UINT count = Ask(info, 1, index);
    if (index == 4) devices = FirstWord(count);
    if (index == 5) cursors = FirstWord(count);
  }
  Ask(info, 3, 0);
  uint32_t contextDevice = 0;
  if (Ask(info, 4, 0) == 212) std::memcpy(&contextDevice, buffer.data() + 96, sizeof(contextDevice));
  const uint32_t deviceSections = devices > 0 ? devices : 1;
  for (uint32_t n = 0; n < deviceSections; ++n) {
    for (UINT index : kDeviceIndices) Ask(info, 100 + n, index);
  }
  if (contextDevice >= deviceSections) {
    for (UINT index : kDeviceIndices) Ask(info, 100 + contextDevice, index);
  }
  for (uint32_t n = 0; n <= cursors; ++n) {
    for (UINT index = 1; index <= kCursorIndices; ++index) Ask(info, 200 + n, index);
  }
}

}  // namespace

int wmain() {
  const HMODULE library = LoadLibraryW(L"WINTAB32.DLL");
  if (library == nullptr) {
    std::printf("error library %lu\n", GetLastError());
    return 1;
  }
  PrintVersionStrings(library);
  for (const char* name : {"WTInfoW", "WTOpenW", "WTClose", "WTEnable", "WTPacketsGet"}) {
    std::printf("entry %s %d\n", name, GetProcAddress(library, name) != nullptr);
  }
  const auto info = reinterpret_cast<InfoEntry>(reinterpret_cast<void*>(GetProcAddress(library, "WTInfoW")));
  if (info != nullptr) AskAll(info);
  std::printf("release %s\n", FreeLibrary(library) ? "succeeded" : "failed");
  return 0;
}
