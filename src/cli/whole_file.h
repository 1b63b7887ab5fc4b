// A file that is written completely or not at all: the text goes to a
// temporary file beside it, which replaces the file only once it is whole.
#pragma once

#include <cstdio>
#include <string>

struct WholeFile {
  std::string path;
  std::string temporaryPath;
  std::FILE* temporary = nullptr;
};

// Creates the temporary file, before anything is run, so that a FILE that
// cannot be written is known at once. False with a one-line `error`.
bool OpenWholeFile(const std::string& path, WholeFile& file, std::string& error);

// Writes `contents` and puts the file in place. False with a one-line
// `error`; the temporary file is gone either way.
bool CommitWholeFile(WholeFile& file, const std::string& contents, std::string& error);

// Removes the temporary file; the file itself is left as it was.
void DiscardWholeFile(WholeFile& file);
