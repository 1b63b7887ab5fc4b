// The one seam between the portable report engine and the system it runs
// on. platform_win32.cpp implements it with the Win32 API and structured
// exception handling; platform_posix.cpp with dlopen and signal handlers,
// so that the engine and its tests run on the Linux build host too.
// Nothing here names a Windows type.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// ---- Fault guard -----------------------------------------------------------

// A guarded call: a plain function and its argument. The function must hold
// no objects with destructors: after a fault the stack is abandoned, not
// unwound through C++ frames.
using GuardedFunction = void (*)(void* argument);

struct GuardOutcome {
  bool faulted;    // an exception or processor fault reached the guard
  uint32_t code;   // its exception code (Windows) or signal number (posix)
};

// Runs function(argument) under a guard that accepts every exception that
// the code inside does not handle itself: processor faults (access
// violation, illegal instruction, division by zero) and exceptions raised
// by software, C++ exceptions included. Guards nest; each catches what is
// raised on its own thread inside its own call. Safe to call on any thread.
GuardOutcome RunGuarded(GuardedFunction function, void* argument);

// Called once at the start of a thread that makes guarded calls: keeps room
// on its stack for the guard to handle a stack overflow inside a call
// (Windows: a stack guarantee of kStackGuaranteeBytes; posix: the guard's
// alternate signal stack already provides it).
inline constexpr uint32_t kStackGuaranteeBytes = 64 * 1024;
void ReserveStackForGuard();

// ---- Libraries -------------------------------------------------------------

using LibraryHandle = void*;

// Loads a library by file name with the system's search order (Windows:
// LoadLibraryW; posix: dlopen, searching LD_LIBRARY_PATH). Null on failure;
// then LastErrorCode() tells why.
LibraryHandle LoadLibraryNamed(const char16_t* fileName);

// Loads a library only to ask it something before a test, so that the
// test's own load of the same file is a first load again, with all that a
// library does while it loads (posix: in a link namespace of its own, as a
// library there may never be unloaded). Released with ReleaseLibrary.
LibraryHandle LoadLibraryApart(const char16_t* path);

// Releases a library loaded by LoadLibraryNamed; true on success.
bool ReleaseLibrary(LibraryHandle library);

// Address of an exported entry point, or null.
void* FindEntryPoint(LibraryHandle library, const char* exportName);

// The calling thread's last error code (Windows: GetLastError; posix: the
// Windows code that corresponds to the last failure of this seam, 126 when
// a library file was not found).
uint32_t LastErrorCode();

// Writes the full path of a loaded library into out (capacity units,
// including the terminator) with the semantics of GetModuleFileNameW:
// returns the number of units written without the terminator, 0 on failure,
// and the capacity when the path was cut.
uint32_t LibraryFileName(LibraryHandle library, char16_t* out, uint32_t capacity);

// The same for the operating system's own core library (Windows: the file
// of KERNEL32; posix: a stand-in whose version tells the kernel release).
uint32_t SystemLibraryFileName(char16_t* out, uint32_t capacity);

// Sets an environment variable of this process, seen by the libraries it
// loads afterwards (value in UTF-8; null: removes it); false on failure.
bool SetProcessVariable(const char* name, const char* value);

// ---- Version resources -----------------------------------------------------

// Receives one found value: the index of its key in the key list and the
// text, valid only during the call.
using VersionValueSink = void (*)(void* context, size_t keyIndex, const char16_t* value);

// Reads the version resource of the file at path and, for each key name in
// order (for example u"FileVersion"), looks up
// "\StringFileInfo\<language><codepage>\<key>" with the first translation
// pair; calls sink for each key that is found, in key order. Keys that are
// not found are skipped silently. All memory is allocated and freed inside.
void ReadVersionStrings(const char16_t* path, const char16_t* const* keyNames, size_t keyCount,
                        VersionValueSink sink, void* context);

// ---- The system around the program --------------------------------------

// The desktop the program sees: the union of all monitors, in screen
// coordinates (Windows: the virtual screen; posix: a stand-in, by default
// 0,0 1920x1080, or "left,top,width,height" from PADSCOPE_POSIX_DESKTOP).
struct DesktopBounds {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
};
DesktopBounds Desktop();

// True when the file at path lies directly in one of the system's own
// folders (Windows: the system folder, its 32-bit twin and the Windows
// folder; posix: the usual library folders, or the colon-separated list
// in PADSCOPE_POSIX_SYSTEM_FOLDERS).
bool InSystemFolder(const char16_t* path);

// The other edition of a system library: on 64-bit Windows the file of
// that name that programs of the other bitness load (SysWOW64 for a 64-bit
// program, System32 for a 32-bit one). Writes its path into out (capacity
// units, terminator included) and returns its length; 0 when the system
// has no other edition (32-bit Windows; posix unless
// PADSCOPE_POSIX_OTHER_EDITION names a folder to stand in for it).
uint32_t OtherEditionLibraryPath(const char16_t* fileName, char16_t* out, uint32_t capacity);

// True when a file exists at path.
bool FileExists(const char16_t* path);

// ---- Memory ----------------------------------------------------------------

// Allocates zeroed memory of `bytes` whose end lies at a page boundary
// followed by a no-access page, so that a write past the end faults instead
// of corrupting memory. Null on failure. Free with FreeGuarded.
void* AllocateGuarded(size_t bytes);
void FreeGuarded(void* memory, size_t bytes);

}  // namespace platform
