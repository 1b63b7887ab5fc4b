#include "sim_library.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace simtest {

const SimLibrary& Library() {
  static const SimLibrary library = [] {
    SimLibrary loaded;
    loaded.handle = dlopen(SIM_LIBRARY_PATH, RTLD_NOW);
    if (loaded.handle == nullptr) throw std::runtime_error(std::string("cannot load ") + SIM_LIBRARY_PATH);
    loaded.info = reinterpret_cast<wintab::WTInfoWEntry>(dlsym(loaded.handle, "WTInfoW"));
    loaded.profileError = reinterpret_cast<const char* (*)()>(dlsym(loaded.handle, "PadscopeSimProfileError"));
    if (loaded.info == nullptr || loaded.profileError == nullptr) throw std::runtime_error("entry points missing");
    return loaded;
  }();
  return library;
}

namespace {

void Assign(const char* name, const char* value) {
  if (value == nullptr) {
    unsetenv(name);
  } else {
    setenv(name, value, 1);
  }
}

bool Remember(const char* name, std::string& value) {
  const char* current = std::getenv(name);
  if (current != nullptr) value = current;
  return current != nullptr;
}

}  // namespace

ProfileScope::ProfileScope(const char* profile, const char* inject) {
  hadProfile_ = Remember("PADSCOPE_SIM_PROFILE", oldProfile_);
  hadInject_ = Remember("PADSCOPE_SIM_INJECT", oldInject_);
  Assign("PADSCOPE_SIM_PROFILE", profile);
  Assign("PADSCOPE_SIM_INJECT", inject);
}

ProfileScope::~ProfileScope() {
  Assign("PADSCOPE_SIM_PROFILE", hadProfile_ ? oldProfile_.c_str() : nullptr);
  Assign("PADSCOPE_SIM_INJECT", hadInject_ ? oldInject_.c_str() : nullptr);
}

Answer Ask(uint32_t category, uint32_t index, size_t capacity) {
  Answer answer;
  answer.probeCount = Library().info(category, index, nullptr);
  if (capacity == 0) capacity = answer.probeCount + 64;
  std::vector<uint8_t> buffer(capacity, kPoison);
  answer.realCount = Library().info(category, index, buffer.data());
  const size_t kept = std::min<size_t>(answer.realCount, capacity);
  answer.bytes.assign(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(kept));
  for (size_t k = kept; k < capacity; ++k) answer.wroteBeyondCount |= buffer[k] != kPoison;
  return answer;
}

uint32_t ReadUint32(const std::vector<uint8_t>& bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t k = 0; k < 4 && offset + k < bytes.size(); ++k) value |= uint32_t{bytes[offset + k]} << (8 * k);
  return value;
}

std::u16string ReadText(const std::vector<uint8_t>& bytes) {
  std::u16string text;
  for (size_t k = 0; k + 1 < bytes.size(); k += 2) {
    const auto unit = static_cast<char16_t>(bytes[k] | (bytes[k + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

std::string Describe(uint32_t category, uint32_t index) {
  return "category " + std::to_string(category) + " index " + std::to_string(index);
}

}  // namespace simtest
