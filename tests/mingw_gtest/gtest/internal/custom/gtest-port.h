// GoogleTest's customisation point, used only by the MinGW-w64 builds.
// Their win32 thread model has no std::mutex or std::condition_variable,
// which GoogleTest's own Notification needs; this one waits on an atomic
// flag instead. GoogleTest uses Notification only to start threads of its
// own self-tests, never in the program's tests.
#ifndef GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
#define GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true, std::memory_order_release); }
  void WaitForNotification() {
    while (!notified_.load(std::memory_order_acquire)) {
    }
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing

#endif  // GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
