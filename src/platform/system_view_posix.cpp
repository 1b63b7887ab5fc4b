// The system around the program on a posix host, where there is no
// virtual screen, no system folder of Windows and no second edition: fixed
// stand-ins, which a test may set through the environment.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "format/utf8_encoding.h"
#include "platform/platform.h"

namespace platform {
namespace {

constexpr DesktopBounds kStandInDesktop{0, 0, 1920, 1080};
constexpr char kStandInSystemFolders[] =
    "/lib:/usr/lib:/lib64:/usr/lib64:/usr/local/lib:/lib/x86_64-linux-gnu:/usr/lib/x86_64-linux-gnu";

std::string Utf8(const char16_t* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return ToUtf8(text, length);
}

const char* Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0' ? value : nullptr;
}

}  // namespace

DesktopBounds Desktop() {
  DesktopBounds bounds = kStandInDesktop;
  const char* given = Variable("PADSCOPE_POSIX_DESKTOP");
  char rest = 0;
  if (given != nullptr &&
      std::sscanf(given, "%d,%d,%d,%d%c", &bounds.left, &bounds.top, &bounds.width, &bounds.height, &rest) != 4) {
    bounds = kStandInDesktop;
  }
  return bounds;
}

bool InSystemFolder(const char16_t* path) {
  if (path == nullptr) return false;
  const std::string file = Utf8(path);
  const size_t separator = file.rfind('/');
  if (separator == std::string::npos) return false;
  const std::string folder = file.substr(0, separator);
  const char* given = Variable("PADSCOPE_POSIX_SYSTEM_FOLDERS");
  const std::string folders = given != nullptr ? given : kStandInSystemFolders;
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string candidate = folders.substr(start, end - start);
    while (candidate.size() > 1 && candidate.back() == '/') candidate.pop_back();
    if (!candidate.empty() && candidate == folder) return true;
    start = end + 1;
  }
  return false;
}

uint32_t OtherEditionLibraryPath(const char16_t* fileName, char16_t* out, uint32_t capacity) {
  const char* folder = Variable("PADSCOPE_POSIX_OTHER_EDITION");
  if (fileName == nullptr || out == nullptr || capacity == 0 || folder == nullptr) return 0;
  std::u16string path;
  for (const char* c = folder; *c != 0; ++c) path += static_cast<char16_t>(static_cast<unsigned char>(*c));
  path += u'/';
  path += fileName;
  if (path.size() + 1 > capacity) return 0;
  path.copy(out, path.size());
  out[path.size()] = 0;
  return static_cast<uint32_t>(path.size());
}

bool FileExists(const char16_t* path) { return path != nullptr && access(Utf8(path).c_str(), F_OK) == 0; }

}  // namespace platform
