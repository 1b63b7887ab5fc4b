// Access to the built simulated library for the tests: loading it as the
// program does, choosing its profile, and asking it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wintab/wintab_binding.h"

namespace simtest {

struct SimLibrary {
  void* handle = nullptr;
  wintab::WTInfoWEntry info = nullptr;
  const char* (*profileError)() = nullptr;
};

// The library at SIM_LIBRARY_PATH, loaded once for the whole test program.
const SimLibrary& Library();

// Sets PADSCOPE_SIM_PROFILE and PADSCOPE_SIM_INJECT for one scope (null
// unsets) and puts back what was there before.
class ProfileScope {
 public:
  explicit ProfileScope(const char* profile, const char* inject = nullptr);
  ~ProfileScope();
  ProfileScope(const ProfileScope&) = delete;
  ProfileScope& operator=(const ProfileScope&) = delete;

 private:
  bool hadProfile_ = false;
  bool hadInject_ = false;
  std::string oldProfile_;
  std::string oldInject_;
};

struct Answer {
  uint32_t probeCount = 0;   // WTInfoW(category, index, NULL)
  uint32_t realCount = 0;    // WTInfoW(category, index, buffer)
  std::vector<uint8_t> bytes;  // the first realCount bytes of the buffer
  bool wroteBeyondCount = false;  // a byte past realCount was changed
};

inline constexpr uint8_t kPoison = 0x11;

// Asks like the program: probe, then the real call into a poisoned buffer
// of `capacity` bytes (the probe's count plus a margin when 0).
Answer Ask(uint32_t category, uint32_t index, size_t capacity = 0);

uint32_t ReadUint32(const std::vector<uint8_t>& bytes, size_t offset = 0);

// The UTF-16 text at the start of bytes up to its first zero unit.
std::u16string ReadText(const std::vector<uint8_t>& bytes);

// "category 101 index 6" for failure messages.
std::string Describe(uint32_t category, uint32_t index);

}  // namespace simtest
