#include "cli/whole_file.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

long ProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<long>(getpid());
#endif
}

bool IsDirectory(const std::string& path) {
  struct stat status{};
  return stat(path.c_str(), &status) == 0 && (status.st_mode & S_IFMT) == S_IFDIR;
}

bool PutInPlace(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

bool OpenWholeFile(const std::string& path, WholeFile& file, std::string& error) {
  file.path = path;
  file.temporaryPath = path + ".partial-" + std::to_string(ProcessId());
  if (IsDirectory(path)) {
    error = "padscope-report: cannot write '" + path + "': it is a directory";
    return false;
  }
  file.temporary = std::fopen(file.temporaryPath.c_str(), "wb");
  if (file.temporary == nullptr) {
    error = "padscope-report: cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  return true;
}

bool CommitWholeFile(WholeFile& file, const std::string& contents, std::string& error) {
  const bool written = std::fwrite(contents.data(), 1, contents.size(), file.temporary) == contents.size();
  const bool flushed = std::fflush(file.temporary) == 0;
  const int writeError = errno;
  const bool closed = std::fclose(file.temporary) == 0;
  file.temporary = nullptr;
  if (!written || !flushed || !closed) {
    std::remove(file.temporaryPath.c_str());
    error = "padscope-report: writing '" + file.path + "' failed: " + std::strerror(writeError);
    return false;
  }
  if (!PutInPlace(file.temporaryPath, file.path)) {
    std::remove(file.temporaryPath.c_str());
    error = "padscope-report: cannot replace '" + file.path + "'";
    return false;
  }
  return true;
}

void DiscardWholeFile(WholeFile& file) {
  if (file.temporary == nullptr) return;
  std::fclose(file.temporary);
  file.temporary = nullptr;
  std::remove(file.temporaryPath.c_str());
}
