#include "report/dialog_state.h"

#include <cstring>
#include <new>

#include "platform/platform.h"
#include "report/answer_logging.h"

namespace {

size_t PositionOf(const DialogState& state) {
  return static_cast<size_t>(state.writePosition - state.ReportText);
}

// Marks the end of the room for ordinary text. Called once: afterwards the
// text is full and later ordinary pieces only count progress.
void WriteFullMarker(DialogState& state) {
  std::memcpy(state.writePosition, kReportFullMarker, sizeof(kReportFullMarker));
  state.writePosition += kReportFullMarkerUnits;
}

// The capacity for formatting one piece into `room` units of text: at most
// one piece's limit, and the terminator may take the unit after the room.
size_t PieceCapacity(size_t room) { return room + 1 < kPieceLimitUnits ? room + 1 : kPieceLimitUnits; }

// The last unit an ending may reach leaves room for the final CR LF and NUL.
constexpr size_t kEndingLimitUnits = kReportTextUnits - 3;

}  // namespace

DialogState* NewDialogState(void* dialog) {
  void* memory = platform::AllocateGuarded(sizeof(DialogState));
  if (memory == nullptr) return nullptr;
  auto* state = new (memory) DialogState;  // the memory comes zeroed
  state->dialog = dialog;
  state->workerThread = nullptr;
  state->answerLog = nullptr;
  ResetReport(*state);
  return state;
}

void DeleteDialogState(DialogState* state) {
  if (state == nullptr) return;
  state->~DialogState();
  platform::FreeGuarded(state, sizeof(DialogState));
}

void ResetReport(DialogState& state) {
  state.progressCount = 0;
  state.lastSeenProgress = 0;
  state.writePosition = state.ReportText;
  state.ReportText[0] = 0;
  state.outcome = RunOutcome{RunEnding::running, 0, 0};
  if (state.answerLog != nullptr) ResetAnswerLog(*state.answerLog);
}

bool ReportIsFull(const DialogState& state) { return PositionOf(state) > kReportBodyUnits; }

size_t ReportLength(const DialogState& state) { return PositionOf(state); }

void AppendFormatted(DialogState& state, const char16_t* format, const textformat::FormatArg* args,
                     size_t count) {
  ++state.progressCount;
  if (ReportIsFull(state)) return;
  const size_t capacity = PieceCapacity(kReportBodyUnits - PositionOf(state));
  const textformat::FormatResult piece =
      textformat::FormatPiece(state.writePosition, capacity, format, args, count);
  state.writePosition += piece.stored;
  if (piece.cut && capacity < kPieceLimitUnits) WriteFullMarker(state);
}

void NewLine(DialogState& state) {
  ++state.progressCount;
  if (ReportIsFull(state)) return;
  if (PositionOf(state) + 2 > kReportBodyUnits) {
    WriteFullMarker(state);
    return;
  }
  const uint32_t lineBreak = 0x000A000Du;  // CR, LF in little-endian order
  std::memcpy(state.writePosition, &lineBreak, sizeof(lineBreak));
  state.writePosition += 2;
}

void Label(DialogState& state, const char16_t* name) {
  Append(state, u"\r\n%-30s ", name);
  NoteRowStart(state, name);
}

void AppendEnding(DialogState& state, const char16_t* ending) {
  ++state.progressCount;
  const size_t position = PositionOf(state);
  if (position >= kEndingLimitUnits) return;
  const size_t capacity = PieceCapacity(kEndingLimitUnits - position);
  const textformat::FormatArg arg = textformat::MakeArg(ending);
  state.writePosition += textformat::FormatPiece(state.writePosition, capacity, u"%s", &arg, 1).stored;
}

void AppendFinalLineBreak(DialogState& state) {
  ++state.progressCount;
  if (PositionOf(state) + 3 > kReportTextUnits) return;  // cannot happen: the room is reserved
  state.writePosition[0] = u'\r';
  state.writePosition[1] = u'\n';
  state.writePosition += 2;
}

void TerminateReport(DialogState& state) { *state.writePosition = 0; }
