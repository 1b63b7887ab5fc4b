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

// The events told to the recording and then to the lines or the document.
struct RecordingOutput {
  PenEventSink next;
  void* nextContext;
  PenRecord* record;
  std::atomic<bool> closed{false};  // set when the session hung: the recording is being written
};

void RecordAndPass(void* context, const PenSession& session, const PenEvent& event) {
  auto* recording = static_cast<RecordingOutput*>(context);
  if (!recording->closed.load()) RecordPenEvent(*recording->record, session, event);
  recording->next(recording->nextContext, session, event);
}

// The session told to `sink`, through the recording when there is one;
// null when there is no memory. The recording output, when made, is
// returned in `recording`.
PenSession* NewRecordedSession(const PenSettings& settings, PenEventSink sink, void* sinkContext, PenRecord* record,
                               RecordingOutput*& recording) {
  recording = nullptr;
  if (record == nullptr) return NewPenSession(settings, sink, sinkContext);
  recording = new (std::nothrow) RecordingOutput{sink, sinkContext, record};
  PenSession* session = recording != nullptr ? NewPenSession(settings, &RecordAndPass, recording) : nullptr;
  if (session == nullptr) {
    delete recording;
    recording = nullptr;
  }
  return session;
}

// After a hang: nothing more goes into the recording but the call that hung.
void RecordHang(RecordingOutput* recording, const PenSession& session) {
  if (recording == nullptr) return;
  recording->closed.store(true);
  RecordPenHang(*recording->record, PenCallUnderWay(session));
}

void PrintLines(void* argument) {
  auto* printer = static_cast<Printer*>(argument);
  TakeLines(printer->output->lines, &PrintLine, printer);
}

void PrintNothing(void*) {}

}  // namespace

PenCheckResult RunPenCheckInto(const PenSettings& settings, PenEventSink sink, void* sinkContext, PenRecord* record) {
  RecordingOutput* recording = nullptr;
  PenSession* session = NewRecordedSession(settings, sink, sinkContext, record, recording);
  if (session == nullptr) return PenCheckResult{kExitFailure, false};
  CatchInterrupt(&session->stopRequested);
  PreparePenWindows();
  // A stuck worker keeps the session, as in the printed check.
  if (!RunWatchedWork(&RunPenSession, session, session->progress, &PrintNothing, nullptr)) {
    RecordHang(recording, *session);
    return PenCheckResult{kExitHung, true};
  }
  const int exitCode = ExitCodeOfPen(session->ending, session->verdict);
  DeletePenSession(session);
  delete recording;
  return PenCheckResult{exitCode, false};
}

PenCheckResult RunPenCheck(const PenSettings& settings,
                           bool (*write)(void* context, const char16_t* text, size_t length), void* writeContext,
                           PenRecord* record) {
  // These live on the heap and are never freed when a call hangs: the stuck
  // worker keeps writing into them.
  auto* output = new (std::nothrow) PenOutput;
  RecordingOutput* recording = nullptr;
  PenSession* session =
      output != nullptr ? NewRecordedSession(settings, &WritePenEvent, output, record, recording) : nullptr;
  if (session == nullptr) {
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
    RecordHang(recording, *session);
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
