// Version resource 1 of the product, decoded from the file.
#include <iterator>
#include <optional>
#include <string>

#include "executable_fixture.h"
#include "resource_parsers.h"

namespace {

constexpr uint32_t kVersionType = 16;
constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t VOS_NT_WINDOWS32 = 0x00040004;
constexpr uint32_t VFT_APP = 0x1;

uint32_t Word32(const std::vector<uint8_t>& bytes, size_t index) {
  const size_t at = index * 4;
  return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
}

const pe::VersionNode* Child(const pe::VersionNode& node, const std::u16string& key) {
  for (const pe::VersionNode& child : node.children) {
    if (child.key == key) return &child;
  }
  return nullptr;
}

std::optional<pe::VersionNode> ProductVersion(const pe::Image& image) {
  const pe::Resource* resource = pe::FindResource(image, kVersionType, 1);
  if (resource == nullptr) return std::nullopt;
  std::string error;
  auto root = pe::ParseVersionResource(resource->data, error);
  if (!root) ADD_FAILURE() << "version resource: " << error;
  return root;
}

TEST(version_resource, fixed_part_gives_file_2_6_1_0_and_product_2_6_0_0_of_an_nt_application) {
  REQUIRE_PRODUCT_IMAGE(image);
  const auto root = ProductVersion(*image);
  ASSERT_TRUE(root);
  EXPECT_EQ(pe::Narrow(root->key), "VS_VERSION_INFO");
  ASSERT_EQ(root->value.size(), 52u) << "VS_FIXEDFILEINFO";
  struct Row {
    const char* field;
    size_t index;
    uint32_t expected;
  };
  static const Row rows[] = {
      {"signature", 0, kFixedSignature},
      {"file version high", 2, (2u << 16) | 6},
      {"file version low", 3, (1u << 16) | 0},
      {"product version high", 4, (2u << 16) | 6},
      {"product version low", 5, (0u << 16) | 0},
      {"file flags mask", 6, 0x3F},
      {"file flags", 7, 0},
      {"operating system", 8, VOS_NT_WINDOWS32},
      {"file type", 9, VFT_APP},
      {"file subtype", 10, 0},
      {"file date high", 11, 0},
      {"file date low", 12, 0},
  };
  for (const Row& row : rows) EXPECT_EQ(Word32(root->value, row.index), row.expected) << row.field;
}

TEST(version_resource, one_uk_english_unicode_string_table_with_its_entries_in_order) {
  REQUIRE_PRODUCT_IMAGE(image);
  const auto root = ProductVersion(*image);
  ASSERT_TRUE(root);
  const pe::VersionNode* strings = Child(*root, u"StringFileInfo");
  ASSERT_NE(strings, nullptr);
  ASSERT_EQ(strings->children.size(), 1u) << "one string table";
  const pe::VersionNode& table = strings->children[0];
  EXPECT_EQ(pe::Narrow(table.key), "080904b0");
  // nullptr: the text is the program's own choice, only present and non-empty.
  struct Row {
    const char16_t* key;
    const char16_t* value;
  };
  static const Row rows[] = {
      {u"FileDescription", u"PADSCOPE"}, {u"ProductName", nullptr},    {u"ProductVersion", u"2.6"},
      {u"FileVersion", u"2.6.1.0"},      {u"LegalCopyright", nullptr}, {u"OriginalFilename", u"padscope.exe"},
      {u"CompanyName", nullptr},
  };
  ASSERT_EQ(table.children.size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    const pe::VersionNode& entry = table.children[i];
    SCOPED_TRACE("entry " + std::to_string(i) + " " + pe::Narrow(rows[i].key));
    EXPECT_EQ(pe::Narrow(entry.key), pe::Narrow(rows[i].key));
    EXPECT_EQ(entry.type, 1) << "text value";
    EXPECT_TRUE(entry.textTerminated) << "the stored text ends with its NUL";
    if (rows[i].value != nullptr) {
      EXPECT_EQ(pe::Narrow(entry.text), pe::Narrow(rows[i].value));
    } else {
      EXPECT_FALSE(entry.text.empty());
    }
  }
}

TEST(version_resource, translation_pair_is_uk_english_and_unicode) {
  REQUIRE_PRODUCT_IMAGE(image);
  const auto root = ProductVersion(*image);
  ASSERT_TRUE(root);
  ASSERT_EQ(root->children.size(), 2u) << "StringFileInfo and VarFileInfo only";
  EXPECT_EQ(pe::Narrow(root->children[0].key), "StringFileInfo");
  const pe::VersionNode* var = Child(*root, u"VarFileInfo");
  ASSERT_NE(var, nullptr);
  ASSERT_EQ(var->children.size(), 1u);
  const pe::VersionNode& translation = var->children[0];
  EXPECT_EQ(pe::Narrow(translation.key), "Translation");
  ASSERT_EQ(translation.value.size(), 4u) << "exactly one language/code page pair";
  EXPECT_EQ(translation.value[0] | translation.value[1] << 8, 0x0809);
  EXPECT_EQ(translation.value[2] | translation.value[3] << 8, 1200);
}

}  // namespace
