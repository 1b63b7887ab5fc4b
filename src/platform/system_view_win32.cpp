// The system around the program on Windows: the virtual screen, the
// system's folders and the other edition's copy of a system library.
#include <windows.h>

#include "platform/platform.h"

namespace platform {
namespace {

constexpr UINT kPathUnits = MAX_PATH + 1;

const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// Whether `folder` (no trailing separator) is the folder part of `path`,
// compared as the file system compares names.
bool IsFolderOf(const wchar_t* folder, UINT folderUnits, const wchar_t* path) {
  if (folderUnits == 0 || folderUnits >= kPathUnits) return false;
  const int pathUnits = lstrlenW(path);
  int separator = pathUnits;
  while (separator > 0 && path[separator - 1] != L'\\' && path[separator - 1] != L'/') --separator;
  if (separator == 0) return false;
  return static_cast<UINT>(separator - 1) == folderUnits &&
         CompareStringOrdinal(folder, static_cast<int>(folderUnits), path, static_cast<int>(folderUnits), TRUE) ==
             CSTR_EQUAL;
}

// The 64-bit build asks for the 32-bit folder; the 32-bit build, when it
// runs on 64-bit Windows, reaches the 64-bit System32 through "Sysnative".
UINT OtherEditionFolder(wchar_t* out, UINT capacity) {
#if defined(_WIN64)
  return GetSystemWow64DirectoryW(out, capacity);
#else
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return 0;
  const UINT length = GetWindowsDirectoryW(out, capacity);
  const wchar_t kSysnative[] = L"\\Sysnative";
  const UINT extra = sizeof(kSysnative) / sizeof(wchar_t) - 1;
  if (length == 0 || length + extra >= capacity) return 0;
  lstrcpyW(out + length, kSysnative);
  return length + extra;
#endif
}

}  // namespace

DesktopBounds Desktop() {
  return DesktopBounds{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                       GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

bool InSystemFolder(const char16_t* path) {
  if (path == nullptr) return false;
  wchar_t folder[kPathUnits];
  if (IsFolderOf(folder, GetSystemDirectoryW(folder, kPathUnits), AsWide(path))) return true;
  if (IsFolderOf(folder, GetWindowsDirectoryW(folder, kPathUnits), AsWide(path))) return true;
  // A 32-bit program sees the 32-bit folder under the name of System32, but
  // the loader reports the files it loads from there with their real folder.
  return IsFolderOf(folder, GetSystemWow64DirectoryW(folder, kPathUnits), AsWide(path));
}

uint32_t OtherEditionLibraryPath(const char16_t* fileName, char16_t* out, uint32_t capacity) {
  if (fileName == nullptr || out == nullptr || capacity == 0) return 0;
  wchar_t folder[kPathUnits];
  const UINT length = OtherEditionFolder(folder, kPathUnits);
  if (length == 0 || length >= kPathUnits) return 0;
  const int nameUnits = lstrlenW(AsWide(fileName));
  const uint32_t total = length + 1 + static_cast<uint32_t>(nameUnits);
  if (total + 1 > capacity) return 0;
  auto* wide = reinterpret_cast<wchar_t*>(out);
  lstrcpyW(wide, folder);
  wide[length] = L'\\';
  lstrcpyW(wide + length + 1, AsWide(fileName));
  return total;
}

bool FileExists(const char16_t* path) {
  return path != nullptr && GetFileAttributesW(AsWide(path)) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace platform
