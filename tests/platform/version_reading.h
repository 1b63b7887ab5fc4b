// What the platform tests share: the values ReadVersionStrings reports,
// collected in order, and UTF-16 text made printable for failure messages.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace versiontest {

inline std::string Narrow(const std::u16string& text) {
  std::string narrow;
  for (const char16_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

struct FoundValue {
  size_t keyIndex;
  std::u16string value;
  bool operator==(const FoundValue&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const FoundValue& found) {
  return out << "{" << found.keyIndex << ", \"" << Narrow(found.value) << "\"}";
}

inline void CollectValue(void* context, size_t keyIndex, const char16_t* value) {
  static_cast<std::vector<FoundValue>*>(context)->push_back({keyIndex, value});
}

inline std::vector<FoundValue> ReadVersions(const std::u16string& path, std::vector<const char16_t*> keys) {
  std::vector<FoundValue> found;
  platform::ReadVersionStrings(path.c_str(), keys.data(), keys.size(), CollectValue, &found);
  return found;
}

}  // namespace versiontest
