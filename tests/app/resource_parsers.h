// Decoders of the two binary resource formats the static checks compare
// field by field: the extended dialog template and the version resource.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pe {

// A name-or-ordinal field of a dialog template.
struct NameOrOrdinal {
  bool isOrdinal = false;
  uint16_t ordinal = 0;
  std::u16string name;  // empty and !isOrdinal: the field was absent
};

struct DialogItem {
  uint32_t helpId, exStyle, style;
  int16_t x, y, cx, cy;
  uint32_t id;
  NameOrOrdinal windowClass;
  NameOrOrdinal title;
  uint16_t extraBytes;
};

struct DialogTemplate {
  uint16_t version, signature;
  uint32_t helpId, exStyle, style;
  int16_t x, y, cx, cy;
  NameOrOrdinal menu, windowClass;
  std::u16string title;
  bool hasFont = false;
  uint16_t pointSize = 0, weight = 0;
  uint8_t italic = 0, charset = 0;
  std::u16string typeface;
  std::vector<DialogItem> items;
};

std::optional<DialogTemplate> ParseDialogTemplateEx(const std::vector<uint8_t>& data, std::string& error);

// One node of a version resource: VS_VERSIONINFO, StringFileInfo, a string
// table, a string, VarFileInfo, Var.
struct VersionNode {
  std::u16string key;
  uint16_t type = 0;            // 1 text, 0 binary
  std::vector<uint8_t> value;   // raw bytes of the value
  std::u16string text;          // the value as text when type is 1, without its NUL
  bool textTerminated = false;  // the stored text ended with a NUL
  std::vector<VersionNode> children;
};

std::optional<VersionNode> ParseVersionResource(const std::vector<uint8_t>& data, std::string& error);

std::string Narrow(const std::u16string& text);  // ASCII subset only, for messages

}  // namespace pe
