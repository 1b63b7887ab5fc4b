// A file that is written completely or not at all: the text goes to a
// temporary file in the file's own folder, which replaces the file only
// once it is whole.
//
// What FILE may be, checked before anything runs: a new name in an existing
// folder, or an existing regular file this user may write. A symbolic link
// is followed (to its final target, which natively is created when missing); the
// link stays a link and its target is replaced. A folder, a FIFO, a device,
// a socket or (on Windows) a device name such as NUL is refused.
#pragma once

#include <string>

struct WholeFile {
  std::string path;  // as given, UTF-8, for messages
  // The rest belongs to whole_file.cpp: where the file goes once links are
  // followed, the temporary file beside it and its open descriptor or handle.
#ifdef _WIN32
  std::u16string target;
  std::u16string temporary;
  void* handle = nullptr;
#else
  std::string target;
  std::string temporary;
  int descriptor = -1;
#endif
};

// Checks FILE and creates the temporary file, before anything is run, so
// that a FILE that cannot be written is known at once. False with a
// one-line `error` (nothing is left behind).
bool OpenWholeFile(const std::string& path, WholeFile& file, std::string& error);

// Writes `contents` and puts the file in place. False with a one-line
// `error`; the temporary file is gone either way and FILE is as it was.
bool CommitWholeFile(WholeFile& file, const std::string& contents, std::string& error);

// Removes the temporary file; the file itself is left as it was.
void DiscardWholeFile(WholeFile& file);
