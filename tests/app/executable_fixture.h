// The 32-bit product as the static checks see it: read and parsed once.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "pe_image.h"

namespace pe {

// Null when the file is missing (the test then skips); a parse failure is
// recorded as a test failure and also yields null.
const Image* ProductImage();
std::string ProductPath();

// The single resource of that type and identifier, or null (with a failure
// naming what was looked for).
const Resource* FindResource(const Image& image, uint32_t type, uint32_t id);

}  // namespace pe

#define REQUIRE_PRODUCT_IMAGE(image)                                                  \
  const pe::Image* image = pe::ProductImage();                                        \
  if (image == nullptr) {                                                             \
    if (::testing::Test::HasFailure()) return;                                        \
    GTEST_SKIP() << "no 32-bit build at " << pe::ProductPath() << "; build it first"; \
  }
