// The recording's format, shared by its writer (padscope-report --record)
// and its reader (the simulated library that replays it): the first line
// names the format and its version, and a reader refuses a version it does
// not know.
//
//   padscope-recording 2
//   options <the test's options>           what --replay runs unless told otherwise
//   system <fact> <value>                  what the diagnosis read of the machine
//   ...the profile directives: item, on, version, lacks, packet, call...
//   end                                    the last line: a file without it was cut short
#pragma once

#include <cstdint>

inline constexpr char kRecordingFormatName[] = "padscope-recording";
inline constexpr uint32_t kRecordingFormatVersion = 2;
inline constexpr char kRecordingEnd[] = "end";

// The system facts, each one `system` line. Texts are quoted; a text the
// machine did not have is written `none`.
namespace recorded {
inline constexpr char kEdition[] = "edition";              // 32 or 64: the bits of the program that recorded
inline constexpr char kDesktop[] = "desktop";              // left top width height
inline constexpr char kLibraryPath[] = "library-path";     // the loaded library's file
inline constexpr char kInSystemFolder[] = "in-system-folder";  // yes or no
inline constexpr char kLibraryFileVersion[] = "library-FileVersion";
inline constexpr char kLibraryCompanyName[] = "library-CompanyName";
inline constexpr char kOtherEdition[] = "other-edition";   // the other edition's library file; none: no such edition
inline constexpr char kOtherExists[] = "other-exists";     // yes or no
inline constexpr char kOtherFileVersion[] = "other-FileVersion";
inline constexpr char kOtherCompanyName[] = "other-CompanyName";
}  // namespace recorded
