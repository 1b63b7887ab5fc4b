#include "executable_fixture.h"

namespace pe {

namespace {

struct Parsed {
  std::optional<Image> image;
  bool fileFound = false;
  std::string error;
};

Parsed Load(const std::string& path) {
  Parsed parsed;
  const std::optional<std::vector<uint8_t>> file = ReadFile(path);
  parsed.fileFound = file.has_value();
  if (file) parsed.image = Parse(*file, parsed.error);
  return parsed;
}

}  // namespace

std::string BuildPath(Build build) { return build == Build::x86 ? PADSCOPE_X86_EXE : PADSCOPE_X64_EXE; }

const Image* BuildImage(Build build) {
  static const Parsed x86 = Load(BuildPath(Build::x86));
  static const Parsed x64 = Load(BuildPath(Build::x64));
  const Parsed& parsed = build == Build::x86 ? x86 : x64;
  if (parsed.fileFound && !parsed.image) ADD_FAILURE() << BuildPath(build) << ": " << parsed.error;
  return parsed.image ? &*parsed.image : nullptr;
}

const Resource* FindResource(const Image& image, uint32_t type, uint32_t id) {
  const Resource* found = nullptr;
  for (const Resource& r : image.resources) {
    if (r.type != type || r.id != id) continue;
    if (found != nullptr) {
      ADD_FAILURE() << "resource type " << type << " id " << id << " present in more than one language";
      return nullptr;
    }
    found = &r;
  }
  if (found == nullptr) ADD_FAILURE() << "resource type " << type << " id " << id << " missing";
  return found;
}

}  // namespace pe
