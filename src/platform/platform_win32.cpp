// The seam on Windows: the Win32 module and version APIs, VirtualAlloc for
// guarded memory, and structured exception handling for the fault guard.
#include "platform/platform.h"

#include <malloc.h>
#include <windows.h>

#include <cstring>

#if !defined(_MSC_VER)
#include "platform/seh_guard.h"
#endif

namespace platform {
namespace {

constexpr uint32_t kCppExceptionCode = 0xE06D7363u;
constexpr uint32_t kStackOverflowCode = 0xC00000FDu;  // STATUS_STACK_OVERFLOW
constexpr int kVariableUnits = 32767;  // the longest value an environment variable holds

const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

// One guarded call as the thunk sees it. Plain data only: after an
// exception the thunk's frame is abandoned without running destructors.
struct GuardedCall {
  GuardedFunction function;
  void* argument;
  bool threwCppException;
};

#if defined(_MSC_VER)

void CallGuarded(void* call) {
  auto* guarded = static_cast<GuardedCall*>(call);
  guarded->function(guarded->argument);
}

// Every exception ends here, C++ exceptions included (they are SEH
// exceptions with code 0xE06D7363 under this compiler).
int RunUnderSeh(GuardedCall* call, uint32_t* code) {
  __try {
    CallGuarded(call);
    return 0;
  } __except (*code = GetExceptionCode(), EXCEPTION_EXECUTE_HANDLER) {
    return 1;
  }
}

#else

// GCC's C++ exceptions never reach the guard's handler as such (on x86
// they are DWARF unwinds outside SEH; on x64 the catch below is the nearer
// frame), and a catch-all of this compiler does not take processor faults
// or other SEH exceptions: the thunk catches the first, the guard's frame
// the second, each with its own code.
void CallGuarded(void* call) {
  auto* guarded = static_cast<GuardedCall*>(call);
  try {
    guarded->function(guarded->argument);
  } catch (...) {
    guarded->threwCppException = true;
  }
}

int RunUnderSeh(GuardedCall* call, uint32_t* code) { return PadscopeSehCall(CallGuarded, call, code); }

#endif

// GetModuleFileNameW leaves a cut name unterminated on older systems; this
// seam always terminates.
uint32_t ModuleFileName(HMODULE module, char16_t* out, uint32_t capacity) {
  if (out == nullptr || capacity == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const DWORD length = GetModuleFileNameW(module, AsWide(out), capacity);
  if (length >= capacity) {
    out[capacity - 1] = 0;
    return capacity;
  }
  return length;
}

// Appends text to a bounded path; false when it does not fit with its
// terminator.
bool AppendText(char16_t* path, size_t capacity, size_t* length, const char16_t* text) {
  while (*text != 0) {
    if (*length + 1 >= capacity) return false;
    path[(*length)++] = *text++;
  }
  path[*length] = 0;
  return true;
}

// Four lower-case hexadecimal digits.
void AppendHex4(char16_t* digits, uint16_t value) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  for (int i = 0; i < 4; ++i) digits[i] = kDigits[(value >> (12 - 4 * i)) & 0xF];
  digits[4] = 0;
}

constexpr size_t kSubBlockCapacity = 200;

}  // namespace

GuardOutcome RunGuarded(GuardedFunction function, void* argument) {
  GuardedCall call{function, argument, false};
  uint32_t code = 0;
  if (RunUnderSeh(&call, &code) != 0) {
    // The overflow used up the stack's guard page. Until it is re-armed, a
    // second overflow on this thread would end the process without an
    // exception; the stack is unwound to this frame, so it can be now.
    if (code == kStackOverflowCode) _resetstkoflw();
    return GuardOutcome{true, code};
  }
  if (call.threwCppException) return GuardOutcome{true, kCppExceptionCode};
  return GuardOutcome{false, 0};
}

void ReserveStackForGuard() {
  ULONG guarantee = kStackGuaranteeBytes;
  SetThreadStackGuarantee(&guarantee);  // without it the guard still takes every other fault
}

LibraryHandle LoadLibraryNamed(const char16_t* fileName) {
  return reinterpret_cast<LibraryHandle>(LoadLibraryW(AsWide(fileName)));
}

LibraryHandle LoadLibraryApart(const char16_t* path) { return LoadLibraryNamed(path); }

bool SetProcessVariable(const char* name, const char* value) {
  wchar_t wideName[64];
  wchar_t wideValue[kVariableUnits];
  if (MultiByteToWideChar(CP_UTF8, 0, name, -1, wideName, 64) == 0) return false;
  if (value != nullptr && MultiByteToWideChar(CP_UTF8, 0, value, -1, wideValue, kVariableUnits) == 0) return false;
  return SetEnvironmentVariableW(wideName, value != nullptr ? wideValue : nullptr) != 0;
}

bool ReleaseLibrary(LibraryHandle library) { return FreeLibrary(static_cast<HMODULE>(library)) != 0; }

void* FindEntryPoint(LibraryHandle library, const char* exportName) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), exportName));
}

uint32_t LastErrorCode() { return GetLastError(); }

uint32_t LibraryFileName(LibraryHandle library, char16_t* out, uint32_t capacity) {
  return ModuleFileName(static_cast<HMODULE>(library), out, capacity);
}

uint32_t SystemLibraryFileName(char16_t* out, uint32_t capacity) {
  HMODULE kernel = GetModuleHandleW(L"KERNEL32");
  if (kernel == nullptr) return 0;
  return ModuleFileName(kernel, out, capacity);
}

// The value of a key is the text at the pointer VerQueryValueW gives, up to
// its first NUL, no longer than the length it reports and never beyond the
// block. It is copied into a scratch area that shares the block's
// allocation: a terminator written into the block itself could land on the
// header of the next value (or past the block) and spoil the next lookup.
void ReadVersionStrings(const char16_t* path, const char16_t* const* keyNames, size_t keyCount,
                        VersionValueSink sink, void* context) {
  if (path == nullptr || keyNames == nullptr || sink == nullptr) return;
  DWORD ignored = 0;
  const DWORD blockBytes = GetFileVersionInfoSizeW(AsWide(path), &ignored);
  // Real version resources are a few kilobytes; a size near the limits of
  // size_t arithmetic is not one.
  if (blockBytes == 0 || blockBytes > (1u << 26)) return;
  const size_t blockUnits = (static_cast<size_t>(blockBytes) + 1) / 2;
  const size_t scratchUnits = blockUnits + 1;
  auto* block = static_cast<char16_t*>(
      HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (blockUnits + scratchUnits) * sizeof(char16_t)));
  if (block == nullptr) return;
  char16_t* scratch = block + blockUnits;
  const char* blockStart = reinterpret_cast<const char*>(block);
  const char* blockEnd = blockStart + blockBytes;

  void* translation = nullptr;
  UINT translationBytes = 0;
  if (GetFileVersionInfoW(AsWide(path), 0, blockBytes, block) &&
      VerQueryValueW(block, L"\\VarFileInfo\\Translation", &translation, &translationBytes) &&
      translation != nullptr && translationBytes >= 2 * sizeof(uint16_t)) {
    uint16_t pair[2];
    std::memcpy(pair, translation, sizeof(pair));
    char16_t language[5];
    char16_t codePage[5];
    AppendHex4(language, pair[0]);
    AppendHex4(codePage, pair[1]);
    for (size_t i = 0; i < keyCount; ++i) {
      if (keyNames[i] == nullptr) continue;
      char16_t subBlock[kSubBlockCapacity];
      size_t length = 0;
      subBlock[0] = 0;
      if (!AppendText(subBlock, kSubBlockCapacity, &length, u"\\StringFileInfo\\") ||
          !AppendText(subBlock, kSubBlockCapacity, &length, language) ||
          !AppendText(subBlock, kSubBlockCapacity, &length, codePage) ||
          !AppendText(subBlock, kSubBlockCapacity, &length, u"\\") ||
          !AppendText(subBlock, kSubBlockCapacity, &length, keyNames[i])) {
        continue;  // no key that long exists in a version resource
      }
      void* value = nullptr;
      UINT valueUnits = 0;
      if (!VerQueryValueW(block, AsWide(subBlock), &value, &valueUnits) || value == nullptr) continue;
      const char* valueStart = static_cast<const char*>(value);
      if (valueStart < blockStart || valueStart >= blockEnd) continue;
      const size_t unitsInBlock = static_cast<size_t>(blockEnd - valueStart) / sizeof(char16_t);
      const size_t limit = valueUnits < unitsInBlock ? valueUnits : unitsInBlock;
      size_t units = 0;
      for (; units < limit; ++units) {
        char16_t unit;
        std::memcpy(&unit, valueStart + units * sizeof(char16_t), sizeof(unit));
        if (unit == 0) break;
        scratch[units] = unit;
      }
      scratch[units] = 0;
      sink(context, i, scratch);
    }
  }
  HeapFree(GetProcessHeap(), 0, block);
}

void* AllocateGuarded(size_t bytes) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const size_t page = system.dwPageSize;
  if (bytes > SIZE_MAX - 2 * page) return nullptr;
  const size_t dataBytes = (bytes + page - 1) / page * page;
  auto* base = static_cast<unsigned char*>(VirtualAlloc(nullptr, dataBytes + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  if (base == nullptr) return nullptr;
  DWORD previous = 0;
  if (!VirtualProtect(base + dataBytes, page, PAGE_NOACCESS, &previous)) {
    VirtualFree(base, 0, MEM_RELEASE);
    return nullptr;
  }
  return base + dataBytes - bytes;
}

void FreeGuarded(void* memory, size_t bytes) {
  if (memory == nullptr) return;
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const size_t page = system.dwPageSize;
  const size_t dataBytes = (bytes + page - 1) / page * page;
  VirtualFree(static_cast<unsigned char*>(memory) + bytes - dataBytes, 0, MEM_RELEASE);
}

}  // namespace platform
