#include "cli/whole_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string CannotWrite(const std::string& path, const std::string& reason) {
  return "padscope-report: cannot write '" + path + "': " + reason;
}

std::string WritingFailed(const std::string& path, const std::string& reason) {
  return "padscope-report: writing '" + path + "' failed: " + reason + "; it is left as it was";
}

#ifdef _WIN32

std::wstring Wide(const std::string& utf8) {
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
  return wide;
}

// The system's own sentence for an error code, in UTF-8, without its full stop.
std::string SystemMessage(DWORD code) {
  wchar_t text[512];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                sizeof(text) / sizeof(text[0]), nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L'.' ||
                        text[length - 1] == L' ')) {
    --length;
  }
  if (length == 0) return "error " + std::to_string(code);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), bytes, nullptr, nullptr);
  return utf8 + " (error " + std::to_string(code) + ")";
}

// A full path in the form that is not held to MAX_PATH ("\\?\C:\..." or
// "\\?\UNC\server\...").
std::wstring LongForm(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  DWORD units = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (units == 0) return path;
  std::wstring full(units, L'\0');
  units = GetFullPathNameW(path.c_str(), units, full.data(), nullptr);
  full.resize(units);
  if (full.rfind(L"\\\\.\\", 0) == 0) return full;  // the device namespace: refused by the caller
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 name a device in any
// folder, with any extension, in any case, with trailing blanks or dots.
bool IsDeviceName(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/:");
  std::wstring name = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
  name = name.substr(0, name.find(L'.'));
  while (!name.empty() && name.back() == L' ') name.pop_back();
  for (wchar_t& c : name) c = static_cast<wchar_t>(c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c);
  if (name == L"CON" || name == L"PRN" || name == L"AUX" || name == L"NUL" || name == L"CONIN$" ||
      name == L"CONOUT$") {
    return true;
  }
  return name.size() == 4 && (name.rfind(L"COM", 0) == 0 || name.rfind(L"LPT", 0) == 0) && name[3] >= L'1' &&
         name[3] <= L'9';
}

// Where the file goes: the final target of an existing file, links
// followed; or the new name itself. Empty with `error` when FILE may not be
// written.
std::wstring ResolveTarget(const std::string& path, std::string& error) {
  const std::wstring given = Wide(path);
  if (IsDeviceName(given) || given.rfind(L"\\\\.\\", 0) == 0) {
    error = CannotWrite(path, "it names a device, not a file");
    return L"";
  }
  const std::wstring full = LongForm(given);
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return full;  // a new name; its folder is tried by the temporary file
    error = CannotWrite(path, SystemMessage(code));
    return L"";
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = CannotWrite(path, "it is a folder");
    return L"";
  }
  // Opened for writing, without changing it: a read-only or locked file is
  // refused now, not after the run.
  HANDLE existing = CreateFileW(full.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing == INVALID_HANDLE_VALUE) {
    error = CannotWrite(path, SystemMessage(GetLastError()));
    return L"";
  }
  std::wstring target;
  if (GetFileType(existing) != FILE_TYPE_DISK) {
    error = CannotWrite(path, "it is a device or a pipe, not a file");
  } else {
    wchar_t final[32768];
    const DWORD units = GetFinalPathNameByHandleW(existing, final, sizeof(final) / sizeof(final[0]), 0);
    target = units > 0 && units < sizeof(final) / sizeof(final[0]) ? std::wstring(final, units) : full;
  }
  CloseHandle(existing);
  return target;
}

// The temporary file's path, for the console's Ctrl+C and close handler,
// which runs on a thread of its own.
std::atomic<const wchar_t*> pendingTemporary{nullptr};

BOOL WINAPI RemovePendingTemporary(DWORD) {
  // The file was opened to be shared for deletion: it goes when the
  // process ends. FALSE: the next handler (the system's) ends the process.
  if (const wchar_t* temporary = pendingTemporary.load()) DeleteFileW(temporary);
  return FALSE;
}

bool CreateTemporary(WholeFile& file, std::string& error) {
  const size_t slash = file.target.find_last_of(L'\\');
  const std::wstring folder = file.target.substr(0, slash + 1);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    wchar_t name[32];
    wsprintfW(name, L".padscope-%lx%02x.tmp", GetCurrentProcessId(), attempt);
    file.temporary = folder + name;
    HANDLE handle = CreateFileW(file.temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      file.handle = handle;
      pendingTemporary.store(file.temporary.c_str());
      SetConsoleCtrlHandler(&RemovePendingTemporary, TRUE);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  error = CannotWrite(file.path, SystemMessage(GetLastError()));
  file.temporary.clear();
  return false;
}

void CloseAndRemove(WholeFile& file) {
  pendingTemporary.store(nullptr);
  if (file.handle != nullptr) CloseHandle(file.handle);
  file.handle = nullptr;
  if (!file.temporary.empty()) DeleteFileW(file.temporary.c_str());
  file.temporary.clear();
}

bool WriteAndPutInPlace(WholeFile& file, const std::string& contents, std::string& error) {
  size_t done = 0;
  while (done < contents.size()) {
    const DWORD chunk = static_cast<DWORD>(contents.size() - done > (1u << 30) ? (1u << 30) : contents.size() - done);
    DWORD written = 0;
    if (!WriteFile(file.handle, contents.data() + done, chunk, &written, nullptr) || written == 0) {
      error = WritingFailed(file.path, SystemMessage(GetLastError()));
      return false;
    }
    done += written;
  }
  if (!FlushFileBuffers(file.handle)) {
    error = WritingFailed(file.path, SystemMessage(GetLastError()));
    return false;
  }
  CloseHandle(file.handle);
  file.handle = nullptr;
  if (!MoveFileExW(file.temporary.c_str(), file.target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = WritingFailed(file.path, SystemMessage(GetLastError()));
    return false;
  }
  pendingTemporary.store(nullptr);
  file.temporary.clear();
  return true;
}

#else  // posix

std::string Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t newFileMode = 0666;  // what the file gets: the replaced file's mode, or 0666 less the umask

std::string ResolveTarget(const std::string& path, std::string& error) {
  if (path.back() == '/') {
    error = CannotWrite(path, "it names a folder");
    return "";
  }
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat status{};
    if (lstat(current.c_str(), &status) != 0) {
      if (errno != ENOENT) {
        error = CannotWrite(path, std::strerror(errno));
        return "";
      }
      const mode_t mask = umask(0);
      umask(mask);
      newFileMode = 0666 & ~mask;
      return current;  // a new name; its folder is tried by the temporary file
    }
    switch (status.st_mode & S_IFMT) {
      case S_IFLNK: {
        char link[PATH_MAX];
        const ssize_t length = readlink(current.c_str(), link, sizeof(link) - 1);
        if (length < 0) break;
        const std::string to(link, static_cast<size_t>(length));
        current = to[0] == '/' ? to : Folder(current) + "/" + to;
        continue;
      }
      case S_IFREG: {
        // Opened for writing, without changing it: a read-only, immutable
        // or append-only file is refused now, not after the run.
        const int probe = open(current.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (probe < 0) break;
        close(probe);
        newFileMode = status.st_mode & 07777;
        return current;
      }
      case S_IFDIR: error = CannotWrite(path, "it is a folder"); return "";
      case S_IFIFO: error = CannotWrite(path, "it is a FIFO (named pipe), not a file"); return "";
      case S_IFCHR:
      case S_IFBLK: error = CannotWrite(path, "it is a device, not a file"); return "";
      default: error = CannotWrite(path, "it is not a regular file"); return "";
    }
    error = CannotWrite(path, std::strerror(errno));  // lstat, readlink or open failed
    return "";
  }
  error = CannotWrite(path, std::strerror(ELOOP));
  return "";
}

// The temporary file's path for the signal handlers: fixed storage, read
// by async-signal-safe code only.
char pendingTemporary[PATH_MAX + 1];
volatile sig_atomic_t temporaryPending = 0;
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void RemovePendingTemporary(int signal) {
  if (temporaryPending != 0) unlink(pendingTemporary);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

bool CreateTemporary(WholeFile& file, std::string& error) {
  std::string name = Folder(file.target) + "/.padscope-XXXXXX";
  const int descriptor = name.size() <= PATH_MAX ? mkostemp(name.data(), O_CLOEXEC) : (errno = ENAMETOOLONG, -1);
  if (descriptor < 0) {
    error = CannotWrite(file.path, std::strerror(errno));
    return false;
  }
  file.descriptor = descriptor;
  file.temporary = name;
  std::memcpy(pendingTemporary, name.c_str(), name.size() + 1);
  temporaryPending = 1;
  struct sigaction action{};
  action.sa_handler = RemovePendingTemporary;
  sigemptyset(&action.sa_mask);
  for (const int signal : kEndingSignals) {
    struct sigaction previous{};
    // A signal the caller chose to ignore stays ignored.
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
      sigaction(signal, &action, nullptr);
    }
  }
  return true;
}

void CloseAndRemove(WholeFile& file) {
  temporaryPending = 0;
  if (file.descriptor >= 0) close(file.descriptor);
  file.descriptor = -1;
  if (!file.temporary.empty()) unlink(file.temporary.c_str());
  file.temporary.clear();
}

bool WriteAndPutInPlace(WholeFile& file, const std::string& contents, std::string& error) {
  size_t done = 0;
  while (done < contents.size()) {
    const ssize_t written = write(file.descriptor, contents.data() + done, contents.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = WritingFailed(file.path, std::strerror(written < 0 ? errno : ENOSPC));
      return false;
    }
    done += static_cast<size_t>(written);
  }
  // The mode of the file it replaces (or of a new file); then on the disk
  // before the name points at it.
  if (fchmod(file.descriptor, newFileMode) != 0 || fsync(file.descriptor) != 0) {
    error = WritingFailed(file.path, std::strerror(errno));
    return false;
  }
  const int closed = close(file.descriptor);
  file.descriptor = -1;
  if (closed != 0 || rename(file.temporary.c_str(), file.target.c_str()) != 0) {
    error = WritingFailed(file.path, std::strerror(errno));
    return false;
  }
  temporaryPending = 0;
  file.temporary.clear();
  return true;
}

#endif

}  // namespace

bool OpenWholeFile(const std::string& path, WholeFile& file, std::string& error) {
  file.path = path;
  errno = 0;
  file.target = ResolveTarget(path, error);
  return !file.target.empty() && CreateTemporary(file, error);
}

bool CommitWholeFile(WholeFile& file, const std::string& contents, std::string& error) {
  const bool committed = WriteAndPutInPlace(file, contents, error);
  CloseAndRemove(file);
  return committed;
}

void DiscardWholeFile(WholeFile& file) { CloseAndRemove(file); }
