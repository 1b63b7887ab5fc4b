// Finished lines of text handed from one producer thread to one consumer
// thread without a lock: the pen check's worker writes them, the main
// thread prints them as they come. A line is seen by the consumer only once
// it is whole, so a worker abandoned inside the library never leaves half a
// line behind.
#pragma once

#include <atomic>
#include <cstddef>

inline constexpr size_t kQueuedLineUnits = 512;  // per line, CR LF included
inline constexpr size_t kQueuedLines = 256;

struct QueuedLine {
  size_t length;
  char16_t text[kQueuedLineUnits];
};

struct LineQueue {
  QueuedLine lines[kQueuedLines];
  std::atomic<size_t> published{0};  // lines the producer has finished
  std::atomic<size_t> taken{0};      // lines the consumer has printed
};

// Producer: the next free line to write into, or null while the queue is full.
QueuedLine* NextFreeLine(LineQueue& queue);
// Producer: makes the line from NextFreeLine visible to the consumer.
void PublishLine(LineQueue& queue);

// Consumer: hands every published line to sink(context, text, length), in
// order, and frees it.
void TakeLines(LineQueue& queue, void (*sink)(void* context, const char16_t* text, size_t length), void* context);
