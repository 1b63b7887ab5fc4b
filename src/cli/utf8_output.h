// Writing to the standard streams: the report to standard output, an error
// line to standard error.
#pragma once

#include <cstddef>
#include <string>

// Call first thing. A closed standard stream then fails every write instead
// of letting the next file the program opens take its place (posix: its
// descriptor is held by /dev/null opened for reading only), and a reader
// that closes the pipe early is a failed write (EPIPE), not the end of the
// process by SIGPIPE halfway through a recording.
void PrepareStandardStreams();

// Writes bytes to standard output and flushes them. After the first failed
// write nothing more is written (a reader that went away stays away) and
// every later call fails too: false when the text did not reach its reader.
bool WriteStandardOutput(const char* bytes, size_t length);
bool StandardOutputFailed();

// Writes the report to standard output as UTF-8, or as UTF-16LE when asked,
// unchanged otherwise (CR LF stays CR LF). False when the write failed.
bool WriteReport(const char16_t* text, size_t length, bool utf16);

// The one line that says a write to standard output failed, naming what
// (`what`: "the report", "the help"...) and the system's reason.
std::string StandardOutputFailure(const char* what);

// Writes one line of error text and its line end to standard error. Not
// with fprintf: MinGW's C++ headers route the printf family to a printf of
// their own, linked statically, which nothing else in the program needs.
void WriteErrorLine(const std::string& line);
