// The seam on a posix host (Linux): dlopen for libraries, signal handlers
// with a non-local return for the fault guard, mmap for guarded memory.
//
// Stand-ins for what has no posix equivalent:
// - Error codes are the Windows codes the engine reports: 126 when a
//   library file was not found, 193 when it exists but could not be loaded,
//   127 when an entry point is missing, 122 when a file name was cut,
//   6 for an unusable library handle.
// - The "system library" is /proc/sys/kernel/osrelease; its
//   "ProductVersion" is the kernel release read from that file.
// - A shared object's version strings are its exported data symbol
//   PadscopeVersionStrings: UTF-16 pairs key, NUL, value, NUL, ... closed by
//   an empty key. Only an object that is already loaded is asked; a file
//   that is not loaded has no version strings (loading it would run its
//   initialisers).
#include "platform/platform.h"

#include "format/utf8_encoding.h"

#include <dlfcn.h>
#include <link.h>
#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace platform {
namespace {

// ---- Fault guard -----------------------------------------------------------

constexpr uint32_t kCppExceptionCode = 0xE06D7363u;
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
constexpr size_t kAltStackBytes = 64 * 1024;

// One active RunGuarded call on this thread. Frames form a stack through
// `outer`; the innermost one receives the next fault of its thread.
struct GuardFrame {
  sigjmp_buf resume;
  GuardFrame* outer;
  volatile sig_atomic_t signalNumber;
};

thread_local GuardFrame* innermostFrame = nullptr;

// What a thread needs before its first guard: the handlers installed, an
// alternate stack, and its signal mask saved. A guard saves no mask of its
// own (that would cost two system calls per guarded call); a fault handler
// runs with its signal blocked and the jump out of it leaves it blocked, so
// the path after a fault puts this mask back.
struct ThreadGuardSetup {
  bool ready = false;
  sigset_t mask;
};

thread_local ThreadGuardSetup threadGuardSetup;

// The handlers that were installed before ours; an unguarded fault goes to
// them (for instance a sanitizer's reporter) or to the default action.
struct sigaction previousActions[sizeof(kFaultSignals) / sizeof(kFaultSignals[0])];

// An alternate signal stack of this thread, so that a fault caused by
// running out of stack can still be handled. Owned by the thread; released
// at thread exit after it has been switched off.
struct AlternateStack {
  void* memory = nullptr;
  size_t bytes = 0;

  ~AlternateStack() {
    if (memory == nullptr) return;
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == memory) {
      stack_t off{};
      off.ss_flags = SS_DISABLE;
      sigaltstack(&off, nullptr);
    }
    munmap(memory, bytes);
  }
};

thread_local AlternateStack alternateStack;

void EnsureAlternateStack() {
  if (alternateStack.memory != nullptr) return;
  stack_t current{};
  // A stack installed by someone else (a sanitizer runtime does) serves as well.
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
  void* memory = mmap(nullptr, kAltStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  stack_t stack{};
  stack.ss_sp = memory;
  stack.ss_size = kAltStackBytes;
  if (sigaltstack(&stack, nullptr) != 0) {
    munmap(memory, kAltStackBytes);
    return;
  }
  alternateStack.memory = memory;
  alternateStack.bytes = kAltStackBytes;
}

size_t SignalSlot(int signalNumber) {
  for (size_t i = 0; i < sizeof(kFaultSignals) / sizeof(kFaultSignals[0]); ++i) {
    if (kFaultSignals[i] == signalNumber) return i;
  }
  return 0;
}

// Runs on the faulting thread, on its alternate stack. Only async-signal-safe
// work: a thread-local read and siglongjmp.
void OnFaultSignal(int signalNumber, siginfo_t* info, void* context) {
  GuardFrame* frame = innermostFrame;
  if (frame != nullptr) {
    frame->signalNumber = signalNumber;
    siglongjmp(frame->resume, 1);
  }
  // No guard on this thread: the fault is not ours to contain.
  const struct sigaction& previous = previousActions[SignalSlot(signalNumber)];
  if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction != nullptr) {
    previous.sa_sigaction(signalNumber, info, context);
  } else if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler != SIG_DFL &&
             previous.sa_handler != SIG_IGN) {
    previous.sa_handler(signalNumber);
  }
  struct sigaction defaultAction{};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(signalNumber, &defaultAction, nullptr);
  // Pending while this handler runs; delivered with the default action when
  // it returns (and a processor fault simply recurs).
  raise(signalNumber);
}

void InstallFaultHandlers() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    for (size_t i = 0; i < sizeof(kFaultSignals) / sizeof(kFaultSignals[0]); ++i) {
      struct sigaction action{};
      action.sa_sigaction = OnFaultSignal;
      action.sa_flags = SA_SIGINFO | SA_ONSTACK;
      sigemptyset(&action.sa_mask);
      sigaction(kFaultSignals[i], &action, &previousActions[i]);
    }
  });
}

void PrepareThreadForGuards() {
  InstallFaultHandlers();
  EnsureAlternateStack();
  pthread_sigmask(SIG_SETMASK, nullptr, &threadGuardSetup.mask);
  threadGuardSetup.ready = true;
}

// C++ exceptions end at the guard like any other exception. Holds nothing
// with a destructor, so abandoning this frame after a fault is harmless.
bool CallCatchingExceptions(GuardedFunction function, void* argument) {
  try {
    function(argument);
    return false;
  } catch (...) {
    return true;
  }
}

// ---- Text conversion -------------------------------------------------------

std::string ToUtf8(const char16_t* text) {
  if (text == nullptr) return {};
  size_t length = 0;
  while (text[length] != 0) ++length;
  return ::ToUtf8(text, length);
}

// Malformed sequences become U+FFFD, one per offending byte.
std::u16string ToUtf16(const std::string& text) {
  std::u16string out;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  for (size_t i = 0; i < size;) {
    const unsigned lead = bytes[i];
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    uint32_t c = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
    bool valid = length != 0 && i + length <= size;
    for (size_t k = 1; valid && k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (bytes[i + k] & 0x3Fu);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) valid = false;
    if (!valid) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return out;
}

bool SameText(const char16_t* a, const char16_t* b) {
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

// ---- Libraries -------------------------------------------------------------

constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorModuleNotFound = 126;
constexpr uint32_t kErrorProcedureNotFound = 127;
constexpr uint32_t kErrorBadImage = 193;

thread_local uint32_t lastError = 0;

// GetModuleFileNameW's contract: the path and a terminator when it fits;
// otherwise capacity - 1 units, a terminator, the capacity as result and
// ERROR_INSUFFICIENT_BUFFER.
uint32_t CopyPathOut(const std::u16string& path, char16_t* out, uint32_t capacity) {
  if (out == nullptr || capacity == 0) {
    lastError = kErrorInsufficientBuffer;
    return 0;
  }
  if (path.size() < capacity) {
    std::memcpy(out, path.data(), path.size() * sizeof(char16_t));
    out[path.size()] = 0;
    return static_cast<uint32_t>(path.size());
  }
  std::memcpy(out, path.data(), (capacity - 1) * sizeof(char16_t));
  out[capacity - 1] = 0;
  lastError = kErrorInsufficientBuffer;
  return capacity;
}

std::string AbsolutePath(const char* name) {
  char resolved[PATH_MAX];
  if (name != nullptr && realpath(name, resolved) != nullptr) return resolved;
  return name != nullptr ? name : "";
}

// The object a handle stands for, or null for an unusable handle.
link_map* LinkMapOf(LibraryHandle library) {
  link_map* map = nullptr;
  if (library == nullptr || dlinfo(library, RTLD_DI_LINKMAP, &map) != 0) return nullptr;
  return map;
}

constexpr char16_t kSystemLibraryPath[] = u"/proc/sys/kernel/osrelease";

// The version strings a loaded object exports, or null. `*object` receives
// a handle the caller releases with dlclose.
const char16_t* ExportedVersionStrings(const std::string& path, void** object) {
  *object = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
  if (*object == nullptr) return nullptr;
  void* symbol = dlsym(*object, "PadscopeVersionStrings");
  if (symbol == nullptr) return nullptr;
  // dlsym also searches the object's dependencies; only the object's own
  // strings describe it.
  Dl_info where{};
  link_map* symbolMap = nullptr;
  if (dladdr1(symbol, &where, reinterpret_cast<void**>(&symbolMap), RTLD_DL_LINKMAP) == 0 ||
      symbolMap != LinkMapOf(*object)) {
    return nullptr;
  }
  return static_cast<const char16_t*>(symbol);
}

// The value of key in a PadscopeVersionStrings table, or null. The scan
// stops at the empty key and never looks further than kMaxUnits.
const char16_t* FindVersionValue(const char16_t* table, const char16_t* key) {
  constexpr size_t kMaxUnits = 1 << 16;
  size_t position = 0;
  while (position < kMaxUnits && table[position] != 0) {
    const char16_t* entryKey = table + position;
    while (position < kMaxUnits && table[position] != 0) ++position;
    ++position;
    if (position >= kMaxUnits) return nullptr;
    const char16_t* value = table + position;
    while (position < kMaxUnits && table[position] != 0) ++position;
    if (position >= kMaxUnits) return nullptr;
    ++position;
    if (SameText(entryKey, key)) return value;
  }
  return nullptr;
}

std::u16string KernelRelease() {
  FILE* file = std::fopen("/proc/sys/kernel/osrelease", "r");
  if (file == nullptr) return {};
  char buffer[256];
  const size_t length = std::fread(buffer, 1, sizeof(buffer) - 1, file);
  std::fclose(file);
  std::string text(buffer, length);
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r\n");
  return ToUtf16(text.substr(first, last - first + 1));
}

}  // namespace

GuardOutcome RunGuarded(GuardedFunction function, void* argument) {
  if (!threadGuardSetup.ready) PrepareThreadForGuards();
  GuardFrame frame;
  frame.outer = innermostFrame;
  frame.signalNumber = 0;
  // Everything read after a fault lives in the frame or is volatile, so a
  // non-local return into this function sees current values.
  GuardFrame* volatile self = &frame;
  if (sigsetjmp(frame.resume, 0) != 0) {
    innermostFrame = self->outer;
    // Unblocks the signal the handler was running for (and undoes whatever
    // the guarded code changed in the mask), as a return from it would.
    pthread_sigmask(SIG_SETMASK, &threadGuardSetup.mask, nullptr);
    return GuardOutcome{true, static_cast<uint32_t>(self->signalNumber)};
  }
  innermostFrame = &frame;
  const bool threw = CallCatchingExceptions(function, argument);
  innermostFrame = frame.outer;
  if (threw) return GuardOutcome{true, kCppExceptionCode};
  return GuardOutcome{false, 0};
}

// The guard's handler runs on the thread's alternate signal stack, which
// RunGuarded sets up; nothing more to reserve here.
void ReserveStackForGuard() {}

LibraryHandle LoadLibraryNamed(const char16_t* fileName) {
  const std::string name = ToUtf8(fileName);
  if (name.empty()) {
    lastError = kErrorModuleNotFound;
    return nullptr;
  }
  errno = 0;
  LibraryHandle library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const int openError = errno;
    const char* message = dlerror();
    const bool missing = openError == ENOENT ||
                         (message != nullptr && std::strstr(message, "No such file or directory") != nullptr);
    lastError = missing ? kErrorModuleNotFound : kErrorBadImage;
  }
  return library;
}

LibraryHandle LoadLibraryApart(const char16_t* path) {
  LibraryHandle library = dlmopen(LM_ID_NEWLM, ToUtf8(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) lastError = kErrorModuleNotFound;
  return library;
}

bool SetProcessVariable(const char* name, const char* value) {
  return (value == nullptr ? unsetenv(name) : setenv(name, value, 1)) == 0;
}

bool ReleaseLibrary(LibraryHandle library) {
  if (library == nullptr || dlclose(library) != 0) {
    lastError = kErrorInvalidHandle;
    return false;
  }
  return true;
}

void* FindEntryPoint(LibraryHandle library, const char* exportName) {
  if (library == nullptr || exportName == nullptr) {
    lastError = library == nullptr ? kErrorInvalidHandle : kErrorProcedureNotFound;
    return nullptr;
  }
  dlerror();
  void* address = dlsym(library, exportName);
  if (address == nullptr) lastError = kErrorProcedureNotFound;
  return address;
}

uint32_t LastErrorCode() { return lastError; }

uint32_t LibraryFileName(LibraryHandle library, char16_t* out, uint32_t capacity) {
  std::string path;
  if (library == nullptr) {
    path = AbsolutePath("/proc/self/exe");
  } else {
    link_map* map = LinkMapOf(library);
    if (map == nullptr) {
      lastError = kErrorInvalidHandle;
      return 0;
    }
    // The main program's entry has an empty name.
    path = AbsolutePath(map->l_name != nullptr && map->l_name[0] != 0 ? map->l_name : "/proc/self/exe");
  }
  return CopyPathOut(ToUtf16(path), out, capacity);
}

uint32_t SystemLibraryFileName(char16_t* out, uint32_t capacity) {
  return CopyPathOut(kSystemLibraryPath, out, capacity);
}

void ReadVersionStrings(const char16_t* path, const char16_t* const* keyNames, size_t keyCount,
                        VersionValueSink sink, void* context) {
  if (path == nullptr || keyNames == nullptr || sink == nullptr) return;
  if (SameText(path, kSystemLibraryPath)) {
    const std::u16string release = KernelRelease();
    if (release.empty()) return;
    for (size_t i = 0; i < keyCount; ++i) {
      if (keyNames[i] != nullptr && SameText(keyNames[i], u"ProductVersion")) sink(context, i, release.c_str());
    }
    return;
  }
  void* object = nullptr;
  const char16_t* table = ExportedVersionStrings(ToUtf8(path), &object);
  if (table != nullptr) {
    for (size_t i = 0; i < keyCount; ++i) {
      if (keyNames[i] == nullptr) continue;
      const char16_t* value = FindVersionValue(table, keyNames[i]);
      if (value != nullptr) sink(context, i, value);
    }
  }
  if (object != nullptr) dlclose(object);
}

// ---- Memory ----------------------------------------------------------------

namespace {
size_t PageSize() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }
size_t DataPages(size_t bytes) { return (bytes + PageSize() - 1) / PageSize(); }
}  // namespace

void* AllocateGuarded(size_t bytes) {
  const size_t page = PageSize();
  if (bytes > SIZE_MAX - 2 * page) return nullptr;
  const size_t dataBytes = DataPages(bytes) * page;
  void* base = mmap(nullptr, dataBytes + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return nullptr;
  auto* start = static_cast<unsigned char*>(base);
  if (mprotect(start + dataBytes, page, PROT_NONE) != 0) {
    munmap(base, dataBytes + page);
    return nullptr;
  }
  return start + dataBytes - bytes;
}

void FreeGuarded(void* memory, size_t bytes) {
  if (memory == nullptr) return;
  const size_t dataBytes = DataPages(bytes) * PageSize();
  unsigned char* base = static_cast<unsigned char*>(memory) + bytes - dataBytes;
  munmap(base, dataBytes + PageSize());
}

}  // namespace platform
