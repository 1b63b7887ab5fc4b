// The line queue: a writer that finds every line unprinted waits instead of
// overwriting one, and the reader gets every line once, whole and in order,
// across the wrap of the ring.
#include "run/line_queue.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::u16string LineText(size_t number) {
  std::u16string text = u"line ";
  for (const char c : std::to_string(number)) text += static_cast<char16_t>(c);
  return text + u"\r\n";
}

void Collect(void* context, const char16_t* text, size_t length) {
  static_cast<std::vector<std::u16string>*>(context)->emplace_back(text, length);
}

TEST(line_queue, a_full_queue_keeps_every_unprinted_line_until_the_reader_takes_them) {
  struct Row {
    const char* name;
    size_t offered;   // lines the writer tries to publish before the reader takes any
    size_t accepted;  // of them, those that found a free line
  };
  static const Row rows[] = {
      {"one line", 1, 1},
      {"one short of full", kQueuedLines - 1, kQueuedLines - 1},
      {"exactly full", kQueuedLines, kQueuedLines},
      {"past full", kQueuedLines + 40, kQueuedLines},
      {"full again across the wrap", kQueuedLines + 1, kQueuedLines},
  };
  auto queue = std::make_unique<LineQueue>();
  size_t next = 0;  // number of the next line written, over all rows
  for (const Row& row : rows) {
    const size_t first = next;
    size_t accepted = 0;
    for (size_t i = 0; i < row.offered; ++i) {
      QueuedLine* line = NextFreeLine(*queue);
      if (line == nullptr) continue;
      const std::u16string text = LineText(next++);
      text.copy(line->text, kQueuedLineUnits);
      line->length = text.size();
      PublishLine(*queue);
      ++accepted;
    }
    EXPECT_EQ(accepted, row.accepted) << row.name;
    std::vector<std::u16string> taken;
    TakeLines(*queue, &Collect, &taken);
    ASSERT_EQ(taken.size(), row.accepted) << row.name;
    for (size_t i = 0; i < taken.size(); ++i) {
      EXPECT_TRUE(taken[i] == LineText(first + i)) << row.name << ": line " << i << " is not line " << first + i;
    }
    EXPECT_NE(NextFreeLine(*queue), nullptr) << row.name << ": no free line after the reader took them all";
    taken.clear();
    TakeLines(*queue, &Collect, &taken);
    EXPECT_TRUE(taken.empty()) << row.name << ": a line was handed out twice";
  }
}

}  // namespace
