#include "cli/pen_text.h"

#include "pen/pen_system.h"

PenLine::PenLine(PenOutput& output) : output_(&output), line_(nullptr) {
  while ((line_ = NextFreeLine(output.lines)) == nullptr) {
    output.progress->fetch_add(1);
    PenWindow none;
    WaitOnPenWindow(none, 1);
  }
  line_->length = 0;
  line_->text[0] = 0;
}

void PenLine::AddFormatted(const char16_t* format, const textformat::FormatArg* args, size_t count) {
  // Two units stay free for the CR LF.
  const size_t room = kQueuedLineUnits - 2 - line_->length;
  line_->length += textformat::FormatPiece(line_->text + line_->length, room, format, args, count).stored;
}

void PenLine::End() {
  line_->text[line_->length++] = u'\r';
  line_->text[line_->length++] = u'\n';
  PublishLine(output_->lines);
  output_->progress->fetch_add(1);
}

void AddHandle(PenLine& line, uint64_t value, size_t bytes) {
  if (bytes > 4) {
    line.Add(u"0x%08x%08x", static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value));
  } else {
    line.Add(u"0x%08x", static_cast<uint32_t>(value));
  }
}
