#include "cli/pen_console.h"

#include <new>

#include "cli/console_interrupt.h"
#include "cli/pen_lines.h"
#include "cli/pen_text.h"
#include "cli/report_outcome.h"
#include "format/text_format.h"
#include "report/dialog_state.h"
#include "run/watched_run.h"

namespace {

struct Printer {
  bool (*write)(void* context, const char16_t* text, size_t length);
  void* context;
  PenOutput* output;
  std::atomic<bool>* stopRequested;
};

void PrintLine(void* argument, const char16_t* text, size_t length) {
  auto* printer = static_cast<Printer*>(argument);
  if (!printer->write(printer->context, text, length)) printer->stopRequested->store(true);
}

// The events told to the lines and, when the run is recorded, to the recording.
struct RecordingOutput {
  PenOutput* output;
  PenRecord* record;
  std::atomic<bool> closed{false};  // set when the session hung: the recording is being written
};

void RecordAndWrite(void* context, const PenSession& session, const PenEvent& event) {
  auto* recording = static_cast<RecordingOutput*>(context);
  if (!recording->closed.load()) RecordPenEvent(*recording->record, session, event);
  WritePenEvent(recording->output, session, event);
}

void PrintLines(void* argument) {
  auto* printer = static_cast<Printer*>(argument);
  TakeLines(printer->output->lines, &PrintLine, printer);
}

}  // namespace

PenCheckResult RunPenCheck(const PenSettings& settings,
                           bool (*write)(void* context, const char16_t* text, size_t length), void* writeContext,
                           PenRecord* record) {
  // These live on the heap and are never freed when a call hangs: the stuck
  // worker keeps writing into them.
  auto* output = new (std::nothrow) PenOutput;
  auto* recording = record != nullptr && output != nullptr ? new (std::nothrow) RecordingOutput{output, record} : nullptr;
  PenSession* session = nullptr;
  if (recording != nullptr) {
    session = NewPenSession(settings, &RecordAndWrite, recording);
  } else if (output != nullptr && record == nullptr) {
    session = NewPenSession(settings, &WritePenEvent, output);
  }
  if (session == nullptr) {
    delete recording;
    delete output;
    return PenCheckResult{kExitFailure, false};
  }
  output->progress = &session->progress;
  CatchInterrupt(&session->stopRequested);
  PreparePenWindows();
  Printer printer{write, writeContext, output, &session->stopRequested};
  if (!RunWatchedWork(&RunPenSession, session, session->progress, &PrintLines, &printer)) {
    // The worker is stuck in the library and keeps what it holds; only the
    // lines it finished are printed.
    PrintLines(&printer);
    char16_t line[128];
    const char16_t* call = PenCallUnderWay(*session);
    if (recording != nullptr) {
      recording->closed.store(true);
      RecordPenHang(*record, call);
    }
    const textformat::FormatArg args[] = {textformat::MakeArg(call != nullptr ? call : u""),
                                          textformat::MakeArg(kHungEnding)};
    const size_t length = textformat::FormatPiece(line, 128, u"%-30s %s\r\n", args, 2).stored;
    write(writeContext, line, length);
    return PenCheckResult{kExitHung, true};
  }
  const int exitCode = ExitCodeOfPen(session->ending, session->verdict);
  DeletePenSession(session);
  delete recording;
  delete output;
  return PenCheckResult{exitCode, false};
}
