// Manifest resource 1 of the product, read from the file as UTF-8 text.
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "executable_fixture.h"

namespace {

constexpr uint32_t kManifestType = 24;

std::string ProductManifest(const pe::Image& image) {
  const pe::Resource* resource = pe::FindResource(image, kManifestType, 1);
  return resource == nullptr ? std::string() : std::string(resource->data.begin(), resource->data.end());
}

// The text of the first element with that name that declares that namespace.
std::optional<std::string> ElementText(const std::string& xml, const std::string& name, const std::string& ns) {
  const std::regex element("<" + name + "\\s+xmlns=\"" + ns + "\"\\s*>\\s*([^<]*?)\\s*</" + name + ">");
  std::smatch match;
  if (!std::regex_search(xml, match, element)) return std::nullopt;
  return match[1].str();
}

TEST(manifest_resource, is_utf8_xml_asking_for_the_callers_rights) {
  REQUIRE_PRODUCT_IMAGE(image);
  const std::string xml = ProductManifest(*image);
  ASSERT_FALSE(xml.empty());
  EXPECT_TRUE(std::regex_search(xml, std::regex("^<\\?xml[^>]*encoding=\"UTF-8\"")));
  EXPECT_TRUE(std::regex_search(
      xml, std::regex("<requestedExecutionLevel\\s+level=\"asInvoker\"\\s+uiAccess=\"false\"\\s*/>")));
}

TEST(manifest_resource, declares_system_dpi_awareness_in_both_namespaces) {
  REQUIRE_PRODUCT_IMAGE(image);
  const std::string xml = ProductManifest(*image);
  struct Row {
    const char* element;
    const char* ns;
    const char* value;
  };
  static const Row rows[] = {
      {"dpiAware", "http://schemas.microsoft.com/SMI/2005/WindowsSettings", "true"},
      {"dpiAwareness", "http://schemas.microsoft.com/SMI/2016/WindowsSettings", "system"},
  };
  for (const Row& row : rows) {
    const auto text = ElementText(xml, row.element, row.ns);
    ASSERT_TRUE(text) << row.element << " with namespace " << row.ns;
    EXPECT_EQ(*text, row.value) << row.element;
  }
}

TEST(manifest_resource, lists_the_five_supported_systems_in_order) {
  REQUIRE_PRODUCT_IMAGE(image);
  const std::string xml = ProductManifest(*image);
  static const char* const expected[] = {
      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10
      "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Windows Vista
      "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
      "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
  };
  const std::regex supported("<supportedOS\\s+Id=\"([^\"]*)\"\\s*/>");
  std::vector<std::string> found;
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), supported); it != std::sregex_iterator(); ++it) {
    found.push_back((*it)[1].str());
  }
  ASSERT_EQ(found.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(found[i], expected[i]) << "supportedOS " << i;
}

TEST(manifest_resource, has_no_dependent_assemblies) {
  REQUIRE_PRODUCT_IMAGE(image);
  const std::string xml = ProductManifest(*image);
  ASSERT_FALSE(xml.empty());
  EXPECT_EQ(xml.find("<dependency"), std::string::npos);
  EXPECT_EQ(xml.find("dependentAssembly"), std::string::npos);
  EXPECT_EQ(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);
}

}  // namespace
