#include "cli/utf8_output.h"

#include "format/utf8_encoding.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace {

int outputError = 0;  // the errno of the first failed write; 0 while all went through

}  // namespace

void PrepareStandardStreams() {
#ifndef _WIN32
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free descriptor: this one.
    if (open("/dev/null", O_RDONLY) != descriptor) std::_Exit(1);
  }
  signal(SIGPIPE, SIG_IGN);
#endif
}

bool WriteStandardOutput(const char* bytes, size_t length) {
  if (outputError != 0) return false;
  errno = 0;
  const bool written = std::fwrite(bytes, 1, length, stdout) == length;
  if (std::fflush(stdout) == 0 && written) return true;
  outputError = errno != 0 ? errno : EIO;
#ifdef _WIN32
  // The C runtime calls a reader that went away an invalid argument.
  const DWORD reason = GetLastError();
  if (reason == ERROR_BROKEN_PIPE || reason == ERROR_NO_DATA) outputError = EPIPE;
#endif
  return false;
}

bool StandardOutputFailed() { return outputError != 0; }

bool WriteReport(const char16_t* text, size_t length, bool utf16) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);  // CR LF must pass unchanged
#endif
  std::string bytes;
  if (utf16) {
    bytes.resize(length * 2);
    for (size_t i = 0; i < length; ++i) {
      bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
      bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
  } else {
    bytes = ToUtf8(text, length);
  }
  return WriteStandardOutput(bytes.data(), bytes.size());
}

std::string StandardOutputFailure(const char* what) {
  return std::string("padscope-report: cannot write ") + what + " to standard output: " +
         std::strerror(outputError != 0 ? outputError : EIO);
}

void WriteErrorLine(const std::string& line) {
  std::fputs(line.c_str(), stderr);
  std::fputc('\n', stderr);
}
