#include "executable_fixture.h"

namespace pe {

std::string ProductPath() { return PADSCOPE_X86_EXE; }

const Image* ProductImage() {
  static const std::optional<std::vector<uint8_t>> file = ReadFile(ProductPath());
  static std::string error;
  static const std::optional<Image> image = file ? Parse(*file, error) : std::nullopt;
  if (file && !image) ADD_FAILURE() << ProductPath() << ": " << error;
  return image ? &*image : nullptr;
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
