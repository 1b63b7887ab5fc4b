// Dialog resource 1 of the product, decoded from the file and compared with
// the layout the program is designed with.
#include <iterator>
#include <optional>
#include <string>

#include "executable_fixture.h"
#include "resource_parsers.h"

namespace {

// Window and control styles as Windows defines them.
constexpr uint32_t WS_POPUP = 0x80000000, WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_CAPTION = 0x00C00000, WS_BORDER = 0x00800000, WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_THICKFRAME = 0x00040000, WS_MINIMIZEBOX = 0x00020000, WS_MAXIMIZEBOX = 0x00010000;
constexpr uint32_t WS_VSCROLL = 0x00200000, WS_HSCROLL = 0x00100000, WS_TABSTOP = 0x00010000;
constexpr uint32_t WS_GROUP = 0x00020000, WS_DISABLED = 0x08000000;
constexpr uint32_t WS_OVERLAPPEDWINDOW = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr uint32_t DS_SETFONT = 0x40, DS_FIXEDSYS = 0x08, DS_3DLOOK = 0x04, DS_CENTER = 0x0800;
constexpr uint32_t DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;
constexpr uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr uint32_t BS_PUSHBUTTON = 0x0, BS_DEFPUSHBUTTON = 0x1, BS_AUTOCHECKBOX = 0x3, BS_TYPEMASK = 0xF;
constexpr uint32_t ES_MULTILINE = 0x4, ES_AUTOVSCROLL = 0x40, ES_AUTOHSCROLL = 0x80, ES_READONLY = 0x800;
constexpr uint32_t ES_WANTRETURN = 0x1000;

constexpr uint32_t kPushButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr uint32_t kCheckBox = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr uint32_t kOutputBox = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
                                ES_MULTILINE | ES_AUTOHSCROLL | ES_READONLY;

constexpr uint32_t kDialogType = 5;
constexpr uint16_t kButtonAtom = 0x0080, kEditAtom = 0x0081;

struct ExpectedItem {
  uint32_t id;
  const char16_t* windowClass;
  const char16_t* text;
  uint32_t style;
  int16_t x, y, cx, cy;
};

// Template order, which is also the tab order.
const ExpectedItem kItems[] = {
    {1001, u"Button", u"Do Test", kPushButton, 2, 2, 50, 14},
    {1002, u"Button", u"Override IFC_NDEVICES", kCheckBox, 62, 4, 93, 10},
    {1003, u"Button", u"Safe Mode", kCheckBox, 163, 4, 50, 10},
    {1004, u"Button", u"No null-buffer", kCheckBox, 218, 4, 58, 10},
    {1007, u"Button", u"Display CTX device", kCheckBox, 279, 4, 75, 10},
    {1005, u"Button", u"!", kPushButton, 463, 2, 10, 14},
    {1006, u"Edit", u"", kOutputBox, 0, 19, 473, 140},
    {1008, u"Button", u"Ignore WTInfo(0,0,0)", kCheckBox, 359, 4, 82, 10},
};

// A predefined class may be stored as its atom or by name, and window class
// names are compared without regard to case; all of these mean the same.
bool SameIgnoringCase(const std::u16string& a, const std::u16string& b) {
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool ClassIs(const pe::NameOrOrdinal& stored, const std::u16string& name) {
  if (!stored.isOrdinal) return SameIgnoringCase(stored.name, name);
  return (name == u"Button" && stored.ordinal == kButtonAtom) || (name == u"Edit" && stored.ordinal == kEditAtom);
}

std::optional<pe::DialogTemplate> ProductDialog(const pe::Image& image) {
  const pe::Resource* resource = pe::FindResource(image, kDialogType, 1);
  if (resource == nullptr) return std::nullopt;
  std::string error;
  auto dialog = pe::ParseDialogTemplateEx(resource->data, error);
  if (!dialog) ADD_FAILURE() << "dialog template: " << error;
  return dialog;
}

TEST(dialog_resource, header_is_the_extended_template_of_the_sizable_centred_popup) {
  REQUIRE_PRODUCT_IMAGE(image);
  const auto dialog = ProductDialog(*image);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->version, 1);
  EXPECT_EQ(dialog->signature, 0xFFFF) << "extended dialog template";
  EXPECT_EQ(dialog->helpId, 0u);
  EXPECT_EQ(dialog->style, WS_POPUP | WS_OVERLAPPEDWINDOW | DS_SHELLFONT | DS_3DLOOK | DS_CENTER);
  EXPECT_EQ(dialog->style & WS_VISIBLE, 0u) << "the modal dialog call shows it";
  EXPECT_EQ(dialog->exStyle, WS_EX_APPWINDOW);
  EXPECT_EQ(dialog->x, 0);
  EXPECT_EQ(dialog->y, 0);
  EXPECT_EQ(dialog->cx, 473);
  EXPECT_EQ(dialog->cy, 159);
  EXPECT_FALSE(dialog->menu.isOrdinal || !dialog->menu.name.empty()) << "no menu";
  EXPECT_FALSE(dialog->windowClass.isOrdinal || !dialog->windowClass.name.empty()) << "system dialog class";
  EXPECT_EQ(pe::Narrow(dialog->title), "PADSCOPE");
  ASSERT_TRUE(dialog->hasFont);
  EXPECT_EQ(dialog->pointSize, 8);
  EXPECT_EQ(dialog->weight, 0);
  EXPECT_EQ(dialog->italic, 0);
  EXPECT_EQ(dialog->charset, 1) << "DEFAULT_CHARSET";
  EXPECT_EQ(pe::Narrow(dialog->typeface), "MS Shell Dlg");
}

TEST(dialog_resource, controls_in_template_order_with_ids_texts_styles_and_geometry) {
  REQUIRE_PRODUCT_IMAGE(image);
  const auto dialog = ProductDialog(*image);
  ASSERT_TRUE(dialog);
  ASSERT_EQ(dialog->items.size(), std::size(kItems));
  for (size_t i = 0; i < std::size(kItems); ++i) {
    const pe::DialogItem& item = dialog->items[i];
    const ExpectedItem& want = kItems[i];
    SCOPED_TRACE("control " + std::to_string(i + 1) + " (id " + std::to_string(want.id) + ")");
    EXPECT_EQ(item.id, want.id);
    EXPECT_TRUE(ClassIs(item.windowClass, want.windowClass))
        << "class "
        << (item.windowClass.isOrdinal ? "#" + std::to_string(item.windowClass.ordinal)
                                       : pe::Narrow(item.windowClass.name));
    EXPECT_FALSE(item.title.isOrdinal);
    EXPECT_EQ(pe::Narrow(item.title.name), pe::Narrow(want.text));
    EXPECT_EQ(item.style, want.style) << std::hex << "0x" << item.style;
    EXPECT_EQ(item.exStyle, 0u);
    EXPECT_EQ(item.helpId, 0u);
    EXPECT_EQ(item.extraBytes, 0) << "no creation data";
    EXPECT_EQ(item.x, want.x);
    EXPECT_EQ(item.y, want.y);
    EXPECT_EQ(item.cx, want.cx);
    EXPECT_EQ(item.cy, want.cy);
  }
}

TEST(dialog_resource, no_group_no_default_button_and_an_output_box_that_fills_the_bottom) {
  REQUIRE_PRODUCT_IMAGE(image);
  const auto dialog = ProductDialog(*image);
  ASSERT_TRUE(dialog);
  for (size_t i = 0; i < dialog->items.size(); ++i) {
    const pe::DialogItem& item = dialog->items[i];
    EXPECT_EQ(item.style & (WS_GROUP | WS_DISABLED), 0u) << "control " << i + 1;
    if (ClassIs(item.windowClass, u"Button")) {
      EXPECT_NE(item.style & BS_TYPEMASK, BS_DEFPUSHBUTTON) << "control " << i + 1;
    }
    if (item.id == 1006) {
      EXPECT_EQ(item.style & (ES_AUTOVSCROLL | ES_WANTRETURN), 0u);
      EXPECT_EQ(item.x + item.cx, dialog->cx) << "spans the full width";
      EXPECT_EQ(item.y + item.cy, dialog->cy) << "reaches the bottom edge";
    } else {
      EXPECT_LE(item.y + item.cy, 19) << "control " << i + 1 << " sits in the top row";
    }
  }
}

}  // namespace
