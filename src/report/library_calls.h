// Loading and releasing WINTAB32.DLL as guarded calls: the call and its
// result in plain data, so that the fault guard can run them (nothing in
// them needs a destructor when a fault abandons the frame). The report, the
// diagnosis's slot questions and the pen session load the library this way.
#pragma once

#include "platform/platform.h"

struct LibraryCall {
  platform::LibraryHandle library;
  bool released;
};

// The library CallLoadLibrary loads: WINTAB32.DLL by the system's search
// order, or, once this is given a full path (a replay's simulated library),
// that file. Called before any test runs; the path must outlive them.
void LoadLibraryFrom(const char16_t* path);

// argument: a LibraryCall. Sets `library` (null on failure: then
// platform::LastErrorCode() tells why).
void CallLoadLibrary(void* argument);
// argument: a LibraryCall. Sets `released`.
void CallReleaseLibrary(void* argument);
