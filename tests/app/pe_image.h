// A small reader of Windows executables for the static checks: headers,
// import table and resource directory, from the file's bytes alone. Every
// read is bounds-checked; a malformed file gives an error text, never a
// read past the buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pe {

struct Import {
  std::string dll;                     // as written in the file
  std::vector<std::string> functions;  // by name; ordinal imports as "#n"
};

struct Resource {
  uint32_t type;  // numeric types only; a named type is reported as error
  uint32_t id;    // numeric identifiers only
  uint32_t language;
  std::vector<uint8_t> data;
};

struct Image {
  uint16_t machine = 0;
  uint16_t characteristics = 0;
  uint16_t optionalMagic = 0;  // 0x10b PE32, 0x20b PE32+
  uint16_t subsystem = 0;
  uint32_t symbolCount = 0;               // COFF symbols; 0 once stripped
  std::vector<std::string> sectionNames;  // as in the section table ("/4" for a long name)
  std::vector<Import> imports;
  std::vector<Resource> resources;
};

// Parses a whole file image. On failure returns nothing and sets error.
std::optional<Image> Parse(const std::vector<uint8_t>& file, std::string& error);

std::optional<std::vector<uint8_t>> ReadFile(const std::string& path);

// Little-endian reads with bounds checks, shared with the resource parsers.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit ByteReader(const std::vector<uint8_t>& bytes) : ByteReader(bytes.data(), bytes.size()) {}

  bool Has(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }
  uint8_t U8(size_t offset) const;
  uint16_t U16(size_t offset) const;
  uint32_t U32(size_t offset) const;
  uint64_t U64(size_t offset) const;
  size_t size() const { return size_; }
  const uint8_t* data() const { return data_; }
  bool ok() const { return ok_; }

 private:
  const uint8_t* data_;
  size_t size_;
  mutable bool ok_ = true;  // cleared by the first out-of-range read
};

}  // namespace pe
