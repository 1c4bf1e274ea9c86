#include "sim/SimRegistryHive.h"

#include <cctype>
#include <cstring>

#include "config/Utf8Text.h"

namespace velmora::sim {
namespace {

constexpr std::size_t kBaseBlockSize = 0x1000;
constexpr std::uint32_t kNoCell = 0xFFFFFFFF;
// Far beyond any exported scheme; they only keep a hostile file from running away.
constexpr int kMaxDepth = 32;
constexpr std::size_t kMaxNodes = 100000;

// Key node flag: the name is stored in one byte per character (Latin-1), not UTF-16.
constexpr std::uint16_t kKeyCompressedName = 0x0020;
// Value flag: the same for value names.
constexpr std::uint16_t kValueCompressedName = 0x0001;
// Data sizes with the top bit set live in the data offset field itself (at most 4 bytes).
constexpr std::uint32_t kDataInline = 0x80000000;

class HiveReader {
 public:
  explicit HiveReader(const std::vector<std::uint8_t>& file) : file_(file) {}

  std::optional<HiveKey> Read() {
    if (file_.size() < kBaseBlockSize + 0x20) return std::nullopt;
    if (std::memcmp(file_.data(), "regf", 4) != 0) return std::nullopt;
    const std::uint32_t rootCell = U32(0x24);
    HiveKey root;
    if (!ReadKey(rootCell, root, 0)) return std::nullopt;
    return root;
  }

 private:
  std::uint16_t U16(std::size_t at) const { return file_[at] | file_[at + 1] << 8; }
  std::uint32_t U32(std::size_t at) const {
    return static_cast<std::uint32_t>(U16(at)) | static_cast<std::uint32_t>(U16(at + 2)) << 16;
  }

  // The data of the allocated cell at `offset` (relative to the first hive bin): its file
  // position and length, or false when it lies outside the file or is not allocated.
  bool Cell(std::uint32_t offset, std::size_t& at, std::size_t& length) const {
    // Compared before adding: a size_t is 32 bits wide in the 32-bit demo program.
    if (offset == kNoCell || offset >= file_.size() - kBaseBlockSize - 4) return false;
    const std::size_t start = kBaseBlockSize + offset;
    const auto size = static_cast<std::int32_t>(U32(start));
    if (size >= -4) return false;  // free cell, or too small to hold anything
    const std::uint64_t cellLength = static_cast<std::uint64_t>(-static_cast<std::int64_t>(size));
    at = start + 4;
    if (cellLength - 4 > file_.size() - at) return false;
    length = static_cast<std::size_t>(cellLength - 4);
    return true;
  }

  std::string Name(std::size_t at, std::size_t bytes, bool compressed) const {
    std::string name;
    if (compressed) {
      for (std::size_t i = 0; i < bytes; ++i) AppendUtf8(name, file_[at + i]);
      return name;
    }
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
      char32_t unit = U16(at + i);
      if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes) {
        const char32_t low = U16(at + i + 2);
        if (low >= 0xDC00 && low < 0xE000) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        }
      }
      AppendUtf8(name, unit);
    }
    return name;
  }

  bool ReadKey(std::uint32_t offset, HiveKey& key, int depth) {
    std::size_t at = 0, length = 0;
    if (depth > kMaxDepth || ++nodes_ > kMaxNodes) return false;
    if (!Cell(offset, at, length) || length < 76) return false;
    if (file_[at] != 'n' || file_[at + 1] != 'k') return false;
    const std::uint16_t flags = U16(at + 2);
    const std::size_t nameBytes = U16(at + 72);
    if (76 + nameBytes > length) return false;
    key.name = Name(at + 76, nameBytes, (flags & kKeyCompressedName) != 0);
    const std::uint32_t subkeyCount = U32(at + 20);
    if (subkeyCount != 0 && !ReadSubkeyList(U32(at + 28), key, depth, 0)) return false;
    if (key.subkeys.size() != subkeyCount) return false;
    return ReadValues(U32(at + 40), U32(at + 36), key);
  }

  bool ReadSubkeyList(std::uint32_t offset, HiveKey& key, int depth, int listDepth) {
    std::size_t at = 0, length = 0;
    if (listDepth > 1 || !Cell(offset, at, length) || length < 4) return false;
    const std::string signature(reinterpret_cast<const char*>(&file_[at]), 2);
    const std::size_t count = U16(at + 2);
    const std::size_t stride = signature == "lf" || signature == "lh" ? 8 : 4;
    if (signature != "lf" && signature != "lh" && signature != "li" && signature != "ri") {
      return false;
    }
    if (4 + count * stride > length) return false;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t entry = U32(at + 4 + i * stride);
      if (signature == "ri") {
        if (!ReadSubkeyList(entry, key, depth, listDepth + 1)) return false;
        continue;
      }
      key.subkeys.emplace_back();
      if (!ReadKey(entry, key.subkeys.back(), depth + 1)) return false;
    }
    return true;
  }

  bool ReadValues(std::uint32_t listOffset, std::uint32_t count, HiveKey& key) {
    if (count == 0) return true;
    std::size_t at = 0, length = 0;
    if (!Cell(listOffset, at, length) || static_cast<std::uint64_t>(count) * 4 > length) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
      HiveValue value;
      if (!ReadValue(U32(at + i * 4), value)) return false;
      key.values.push_back(std::move(value));
    }
    return true;
  }

  bool ReadValue(std::uint32_t offset, HiveValue& value) {
    std::size_t at = 0, length = 0;
    if (++nodes_ > kMaxNodes || !Cell(offset, at, length) || length < 20) return false;
    if (file_[at] != 'v' || file_[at + 1] != 'k') return false;
    const std::size_t nameBytes = U16(at + 2);
    if (20 + nameBytes > length) return false;
    value.name = Name(at + 20, nameBytes, (U16(at + 16) & kValueCompressedName) != 0);
    value.type = U32(at + 12);
    const std::uint32_t size = U32(at + 4);
    if ((size & kDataInline) != 0) {
      const std::size_t inlineSize = size & ~kDataInline;
      if (inlineSize > 4) return false;
      value.data.assign(file_.begin() + static_cast<std::ptrdiff_t>(at + 8),
                        file_.begin() + static_cast<std::ptrdiff_t>(at + 8 + inlineSize));
      return true;
    }
    if (size == 0) return true;
    std::size_t dataAt = 0, dataLength = 0;
    // Data larger than one cell ("db" big data) never occurs in a scheme file: refused.
    if (!Cell(U32(at + 8), dataAt, dataLength) || size > dataLength) return false;
    value.data.assign(file_.begin() + static_cast<std::ptrdiff_t>(dataAt),
                      file_.begin() + static_cast<std::ptrdiff_t>(dataAt + size));
    return true;
  }

  const std::vector<std::uint8_t>& file_;
  std::size_t nodes_ = 0;
};

}  // namespace

// Value names are case-insensitive, as everywhere in the registry.
const HiveValue* HiveKey::Value(const std::string& valueName) const {
  auto same = [](const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(a[i])) !=
          std::tolower(static_cast<unsigned char>(b[i]))) {
        return false;
      }
    }
    return true;
  };
  for (const HiveValue& value : values) {
    if (same(value.name, valueName)) return &value;
  }
  return nullptr;
}

std::optional<HiveKey> ReadRegistryHive(const std::vector<std::uint8_t>& file) {
  return HiveReader(file).Read();
}

}  // namespace velmora::sim
