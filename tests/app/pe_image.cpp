#include "pe_image.h"

#include <fstream>
#include <iterator>

namespace pe {

uint8_t ByteReader::U8(size_t offset) const {
  if (!Has(offset, 1)) {
    ok_ = false;
    return 0;
  }
  return data_[offset];
}

uint16_t ByteReader::U16(size_t offset) const {
  if (!Has(offset, 2)) {
    ok_ = false;
    return 0;
  }
  return static_cast<uint16_t>(data_[offset] | data_[offset + 1] << 8);
}

uint32_t ByteReader::U32(size_t offset) const {
  return static_cast<uint32_t>(U16(offset)) | static_cast<uint32_t>(U16(offset + 2)) << 16;
}

uint64_t ByteReader::U64(size_t offset) const {
  return static_cast<uint64_t>(U32(offset)) | static_cast<uint64_t>(U32(offset + 4)) << 32;
}

namespace {

constexpr uint16_t kPe32Magic = 0x10b;
constexpr uint16_t kPe32PlusMagic = 0x20b;
constexpr uint32_t kImportDirectory = 1;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kHighBit = 0x80000000u;
constexpr int kMaxResourceDepth = 3;

struct Section {
  uint32_t virtualAddress;
  uint32_t virtualSize;
  uint32_t rawOffset;
  uint32_t rawSize;
};

class Parser {
 public:
  Parser(const std::vector<uint8_t>& file, std::string& error) : file_(file), error_(error) {}

  std::optional<Image> Run() {
    if (!Headers() || !Imports() || !Resources()) return std::nullopt;
    return image_;
  }

 private:
  bool Fail(const std::string& why) {
    error_ = why;
    return false;
  }

  // File offset of an RVA with `count` bytes available there.
  std::optional<size_t> Offset(uint32_t rva, size_t count) const {
    for (const Section& s : sections_) {
      const uint32_t extent = s.virtualSize > s.rawSize ? s.rawSize : s.virtualSize;
      if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
        const size_t offset = static_cast<size_t>(s.rawOffset) + (rva - s.virtualAddress);
        if (rva - s.virtualAddress + count <= extent && file_.Has(offset, count)) return offset;
        return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::optional<std::string> AsciiAt(uint32_t rva) const {
    std::string text;
    for (uint32_t i = 0; i < 4096; ++i) {
      const auto offset = Offset(rva + i, 1);
      if (!offset) return std::nullopt;
      const char c = static_cast<char>(file_.U8(*offset));
      if (c == 0) return text;
      text += c;
    }
    return std::nullopt;
  }

  bool Headers() {
    if (file_.U16(0) != 0x5A4D) return Fail("no MZ signature");
    const uint32_t peOffset = file_.U32(0x3C);
    if (file_.U32(peOffset) != 0x00004550) return Fail("no PE signature");
    const size_t coff = peOffset + 4;
    image_.machine = file_.U16(coff);
    const uint16_t sectionCount = file_.U16(coff + 2);
    image_.symbolCount = file_.U32(coff + 12);
    const uint16_t optionalSize = file_.U16(coff + 16);
    image_.characteristics = file_.U16(coff + 18);
    const size_t optional = coff + 20;
    image_.optionalMagic = file_.U16(optional);
    image_.subsystem = file_.U16(optional + 68);
    size_t directories;
    if (image_.optionalMagic == kPe32Magic) {
      directories = optional + 96;
    } else if (image_.optionalMagic == kPe32PlusMagic) {
      directories = optional + 112;
    } else {
      return Fail("unknown optional header magic");
    }
    const uint32_t directoryCount = file_.U32(directories - 4);
    for (uint32_t i = 0; i < directoryCount && i < 16; ++i) {
      directoryRva_[i] = file_.U32(directories + 8 * i);
      directorySize_[i] = file_.U32(directories + 8 * i + 4);
    }
    const size_t sectionTable = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
      const size_t at = sectionTable + 40u * i;
      sections_.push_back({file_.U32(at + 12), file_.U32(at + 8), file_.U32(at + 20), file_.U32(at + 16)});
      std::string name;
      for (size_t c = 0; c < 8 && file_.U8(at + c) != 0; ++c) name += static_cast<char>(file_.U8(at + c));
      image_.sectionNames.push_back(name);
    }
    return file_.ok() ? true : Fail("headers run past the end of the file");
  }

  bool Imports() {
    const uint32_t rva = directoryRva_[kImportDirectory];
    if (rva == 0) return true;
    const bool wide = image_.optionalMagic == kPe32PlusMagic;
    const size_t thunkSize = wide ? 8 : 4;
    for (uint32_t entry = rva;; entry += 20) {
      const auto at = Offset(entry, 20);
      if (!at) return Fail("import descriptor outside the image");
      const uint32_t lookupRva = file_.U32(*at) != 0 ? file_.U32(*at) : file_.U32(*at + 16);
      const uint32_t nameRva = file_.U32(*at + 12);
      if (nameRva == 0 && lookupRva == 0) break;
      Import import;
      const auto name = AsciiAt(nameRva);
      if (!name) return Fail("import name outside the image");
      import.dll = *name;
      for (uint32_t thunk = lookupRva;; thunk += static_cast<uint32_t>(thunkSize)) {
        const auto thunkAt = Offset(thunk, thunkSize);
        if (!thunkAt) return Fail("import thunk outside the image");
        const uint64_t value = wide ? file_.U64(*thunkAt) : file_.U32(*thunkAt);
        if (value == 0) break;
        const bool byOrdinal = wide ? (value >> 63) != 0 : (value & kHighBit) != 0;
        if (byOrdinal) {
          import.functions.push_back("#" + std::to_string(value & 0xFFFF));
        } else {
          const auto function = AsciiAt(static_cast<uint32_t>(value & 0x7FFFFFFF) + 2);
          if (!function) return Fail("import function name outside the image");
          import.functions.push_back(*function);
        }
      }
      image_.imports.push_back(std::move(import));
    }
    return true;
  }

  // Walks type -> identifier -> language, numeric entries only.
  bool ResourceLevel(uint32_t directoryOffset, int depth, uint32_t path[kMaxResourceDepth]) {
    const uint32_t base = directoryRva_[kResourceDirectory];
    const auto at = Offset(base + directoryOffset, 16);
    if (!at) return Fail("resource directory outside the image");
    const uint32_t entries = static_cast<uint32_t>(file_.U16(*at + 12)) + file_.U16(*at + 14);
    for (uint32_t i = 0; i < entries; ++i) {
      const auto entry = Offset(base + directoryOffset + 16 + 8 * i, 8);
      if (!entry) return Fail("resource entry outside the image");
      const uint32_t name = file_.U32(*entry);
      const uint32_t target = file_.U32(*entry + 4);
      if ((name & kHighBit) != 0) return Fail("named resource entry at level " + std::to_string(depth));
      path[depth] = name;
      const bool isDirectory = (target & kHighBit) != 0;
      if (depth + 1 < kMaxResourceDepth) {
        if (!isDirectory) return Fail("resource data above the language level");
        if (!ResourceLevel(target & ~kHighBit, depth + 1, path)) return false;
        continue;
      }
      if (isDirectory) return Fail("resource directory below the language level");
      const auto dataEntry = Offset(base + target, 16);
      if (!dataEntry) return Fail("resource data entry outside the image");
      const uint32_t dataRva = file_.U32(*dataEntry);
      const uint32_t dataSize = file_.U32(*dataEntry + 4);
      const auto data = Offset(dataRva, dataSize);
      if (!data) return Fail("resource data outside the image");
      const uint8_t* begin = file_.data() + *data;
      image_.resources.push_back({path[0], path[1], path[2], std::vector<uint8_t>(begin, begin + dataSize)});
    }
    return true;
  }

  bool Resources() {
    if (directoryRva_[kResourceDirectory] == 0) return true;
    uint32_t path[kMaxResourceDepth] = {};
    return ResourceLevel(0, 0, path);
  }

  ByteReader file_;
  std::string& error_;
  Image image_;
  std::vector<Section> sections_;
  uint32_t directoryRva_[16] = {};
  uint32_t directorySize_[16] = {};
};

}  // namespace

std::optional<Image> Parse(const std::vector<uint8_t>& file, std::string& error) { return Parser(file, error).Run(); }

std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace pe
