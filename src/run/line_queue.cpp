#include "run/line_queue.h"

QueuedLine* NextFreeLine(LineQueue& queue) {
  const size_t published = queue.published.load(std::memory_order_relaxed);
  if (published - queue.taken.load(std::memory_order_acquire) >= kQueuedLines) return nullptr;
  return &queue.lines[published % kQueuedLines];
}

void PublishLine(LineQueue& queue) { queue.published.fetch_add(1, std::memory_order_release); }

void TakeLines(LineQueue& queue, void (*sink)(void* context, const char16_t* text, size_t length), void* context) {
  const size_t published = queue.published.load(std::memory_order_acquire);
  for (size_t taken = queue.taken.load(std::memory_order_relaxed); taken != published; ++taken) {
    const QueuedLine& line = queue.lines[taken % kQueuedLines];
    sink(context, line.text, line.length);
    queue.taken.store(taken + 1, std::memory_order_release);
  }
}
