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

// The Windows API takes UTF-16 as wchar_t; the strings are char16_t, whose
// code the program has already.
const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::u16string Wide(const std::string& utf8) {
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::u16string wide(static_cast<size_t>(units), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), reinterpret_cast<wchar_t*>(wide.data()),
                      units);
  return wide;
}

// The system's own sentence for an error code, in UTF-8, without its full
// stop, and the code.
std::string SystemMessage(DWORD code) {
  wchar_t text[512];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                400, nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L'.' ||
                        text[length - 1] == L' ')) {
    --length;
  }
  length += static_cast<DWORD>(wsprintfW(text + length, length > 0 ? L" (error %lu)" : L"error %lu", code));
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

// A full path in the form that is not held to MAX_PATH ("\\?\C:\..." or
// "\\?\UNC\server\...").
std::u16string LongForm(const std::u16string& path) {
  if (path.rfind(u"\\\\?\\", 0) == 0) return path;
  DWORD units = GetFullPathNameW(W(path), 0, nullptr, nullptr);
  if (units == 0) return path;
  std::u16string full(units, u'\0');
  units = GetFullPathNameW(W(path), units, reinterpret_cast<wchar_t*>(full.data()), nullptr);
  full.resize(units);
  if (full.rfind(u"\\\\.\\", 0) == 0) return full;  // the device namespace: refused by the caller
  if (full.rfind(u"\\\\", 0) == 0) return u"\\\\?\\UNC\\" + full.substr(2);
  return u"\\\\?\\" + full;
}

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 name a device in any
// folder, with any extension, in any case, with trailing blanks.
bool IsDeviceName(const std::u16string& path) {
  const size_t slash = path.find_last_of(u"\\/:");
  std::u16string name = path.substr(slash == std::u16string::npos ? 0 : slash + 1);
  name = name.substr(0, name.find(u'.'));
  while (!name.empty() && name.back() == u' ') name.pop_back();
  for (char16_t& c : name) c = static_cast<char16_t>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c);
  if (name.size() == 4 && name[3] >= u'1' && name[3] <= u'9') name[3] = u'\x01';  // any of the nine
  static const char16_t* const kDevices[] = {u"CON",      u"PRN",      u"AUX",    u"NUL",
                                             u"COM\x01", u"LPT\x01", u"CONIN$", u"CONOUT$"};
  for (const char16_t* device : kDevices) {
    if (name == device) return true;
  }
  return false;
}

// Where the file goes: the final target of an existing file, links
// followed; or the new name itself. Empty with `error` when FILE may not be
// written.
std::u16string ResolveTarget(const std::string& path, std::string& error) {
  const std::u16string given = Wide(path);
  if (IsDeviceName(given) || given.rfind(u"\\\\.\\", 0) == 0) {
    error = CannotWrite(path, "it names a device, not a file");
    return u"";
  }
  const std::u16string full = LongForm(given);
  const DWORD attributes = GetFileAttributesW(W(full));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return full;  // a new name; its folder is tried by the temporary file
    error = CannotWrite(path, SystemMessage(code));
    return u"";
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = CannotWrite(path, "it is a folder");
    return u"";
  }
  // Opened for writing, without changing it: a read-only or locked file is
  // refused now, not after the run.
  HANDLE existing = CreateFileW(W(full), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing == INVALID_HANDLE_VALUE) {
    error = CannotWrite(path, SystemMessage(GetLastError()));
    return u"";
  }
  std::u16string target;
  if (GetFileType(existing) != FILE_TYPE_DISK) {
    error = CannotWrite(path, "it is a device or a pipe, not a file");
  } else {
    wchar_t final[32768];
    const DWORD units = GetFinalPathNameByHandleW(existing, final, sizeof(final) / sizeof(final[0]), 0);
    const bool resolved = units > 0 && units < sizeof(final) / sizeof(final[0]);
    target = resolved ? std::u16string(reinterpret_cast<const char16_t*>(final), units) : full;
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
  const size_t slash = file.target.find_last_of(u'\\');
  const std::u16string folder = file.target.substr(0, slash + 1);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    wchar_t name[32];
    wsprintfW(name, L".padscope-%lx%02x.tmp", GetCurrentProcessId(), attempt);
    file.temporary = folder + reinterpret_cast<const char16_t*>(name);
    HANDLE handle = CreateFileW(W(file.temporary), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      file.handle = handle;
      pendingTemporary.store(W(file.temporary));
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
  if (!file.temporary.empty()) DeleteFileW(W(file.temporary));
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
  if (!MoveFileExW(W(file.temporary), W(file.target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
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
