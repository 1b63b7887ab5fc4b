// The two Windows builds as the static checks see them, each read and
// parsed once: the 32-bit product and the 64-bit edition of the same
// sources.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "pe_image.h"

namespace pe {

enum class Build { x86, x64 };

// Null when the file is missing (the test then skips); a parse failure is
// recorded as a test failure and also yields null.
const Image* BuildImage(Build build);
std::string BuildPath(Build build);

// The single resource of that type and identifier, or null (with a failure
// naming what was looked for).
const Resource* FindResource(const Image& image, uint32_t type, uint32_t id);

}  // namespace pe

#define REQUIRE_BUILD_IMAGE(image, build)                                                          \
  const pe::Image* image = pe::BuildImage(build);                                                  \
  if (image == nullptr) {                                                                          \
    if (::testing::Test::HasFailure()) return;                                                     \
    GTEST_SKIP() << "no build at " << pe::BuildPath(build) << "; build the Windows presets first"; \
  }

// The product, whose resources are checked field by field.
#define REQUIRE_PRODUCT_IMAGE(image) REQUIRE_BUILD_IMAGE(image, pe::Build::x86)
