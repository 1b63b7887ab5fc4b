#include "cli/utf8_output.h"

#include "format/utf8_encoding.h"

#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

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
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
  return std::fflush(stdout) == 0 && written;
}

void WriteErrorLine(const std::string& line) {
  std::fputs(line.c_str(), stderr);
  std::fputc('\n', stderr);
}
