// The pen check's text: whole lines with CR LF ends, formatted as the
// report's pieces are, written on the pen session's worker and handed to
// the main thread through a line queue. Rows look like the report's: the
// name left-aligned in 30 columns, a blank, the value.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>

#include "format/text_format.h"
#include "run/line_queue.h"

struct PenOutput {
  LineQueue lines;
  // The session's progress counter: counted up at every line, and while a
  // line waits for room; the watchdog reads it.
  std::atomic<int32_t>* progress = nullptr;
};

// One line under construction. Holds nothing that needs a destructor, so a
// worker abandoned with a line half built leaves only an unpublished slot.
class PenLine {
 public:
  // Waits (counting progress) while the queue is full.
  explicit PenLine(PenOutput& output);

  template <class... Args>
  PenLine& Add(textformat::CheckedFormat<std::type_identity_t<Args>...> format, const Args&... args) {
    const textformat::FormatArg packed[sizeof...(Args) + 1] = {textformat::MakeArg(args)..., textformat::FormatArg{}};
    AddFormatted(format.text, packed, sizeof...(Args));
    return *this;
  }

  // Ends the line with CR LF and hands it over.
  void End();

 private:
  void AddFormatted(const char16_t* format, const textformat::FormatArg* args, size_t count);
  PenOutput* output_;
  QueuedLine* line_;
};

template <class... Args>
void WriteLine(PenOutput& output, textformat::CheckedFormat<std::type_identity_t<Args>...> format,
               const Args&... args) {
  PenLine(output).Add<Args...>(format, args...).End();
}

template <class... Args>
void WriteRow(PenOutput& output, const char16_t* label, textformat::CheckedFormat<std::type_identity_t<Args>...> format,
              const Args&... args) {
  PenLine line(output);
  line.Add(u"%-30s ", label);
  line.Add<Args...>(format, args...).End();
}

// "0x%08x" for 32-bit handles and addresses, all sixteen digits for 64-bit.
void AddHandle(PenLine& line, uint64_t value, size_t bytes);
