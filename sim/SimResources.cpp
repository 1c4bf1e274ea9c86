// A .res file is a run of entries, each starting on a 32-bit boundary:
//   DWORD DataSize, DWORD HeaderSize, TYPE, NAME, padding to 32 bits, DWORD DataVersion,
//   WORD MemoryFlags, WORD LanguageId, DWORD Version, DWORD Characteristics,
// then DataSize bytes of data at HeaderSize from the entry's start. TYPE and NAME are either
// 0xFFFF followed by a 16-bit identifier, or a zero-terminated UTF-16 string. The file starts
// with an empty entry (DataSize 0) that marks it as a 32-bit resource file.
#include "sim/SimResources.h"

#include <cctype>
#include <fstream>

namespace velmora::sim {
namespace {

struct Reader {
  std::span<const std::uint8_t> bytes;

  bool Has(std::size_t offset, std::size_t count) const {
    return offset <= bytes.size() && count <= bytes.size() - offset;
  }
  std::uint16_t Word(std::size_t offset) const {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
  }
  std::uint32_t Dword(std::size_t offset) const {
    return Word(offset) | (static_cast<std::uint32_t>(Word(offset + 2)) << 16);
  }

  // A TYPE or NAME field; advances offset past it. Non-ASCII names are not used here and are
  // kept as '?'.
  std::optional<std::string> NameOrId(std::size_t& offset, std::uint16_t& id) const {
    if (!Has(offset, 2)) return std::nullopt;
    if (Word(offset) == 0xFFFF) {
      if (!Has(offset, 4)) return std::nullopt;
      id = Word(offset + 2);
      offset += 4;
      return "#" + std::to_string(id);
    }
    std::string name;
    for (;; offset += 2) {
      if (!Has(offset, 2)) return std::nullopt;
      const std::uint16_t unit = Word(offset);
      if (unit == 0) break;
      name += unit < 0x80 ? static_cast<char>(std::toupper(unit)) : '?';
    }
    offset += 2;
    id = 0;
    return name;
  }
};

std::size_t Align4(std::size_t offset) {
  return (offset + 3) & ~std::size_t{3};
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::optional<SimResources> SimResources::FromResFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  file.seekg(0, std::ios::end);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.tellg()));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()))) {
    return std::nullopt;
  }
  return FromResBytes(bytes);
}

std::optional<SimResources> SimResources::FromResBytes(std::span<const std::uint8_t> bytes) {
  const Reader reader{bytes};
  SimResources resources;
  std::size_t entry = 0;
  while (entry < bytes.size()) {
    if (!reader.Has(entry, 8)) return std::nullopt;
    const std::uint32_t dataSize = reader.Dword(entry);
    const std::uint32_t headerSize = reader.Dword(entry + 4);
    std::size_t field = entry + 8;
    std::uint16_t typeId = 0;
    std::uint16_t nameId = 0;
    const auto type = reader.NameOrId(field, typeId);
    const auto name = type ? reader.NameOrId(field, nameId) : std::nullopt;
    field = Align4(field);
    if (!name || !reader.Has(field, 16) || !reader.Has(entry, headerSize) ||
        !reader.Has(entry + headerSize, dataSize)) {
      return std::nullopt;
    }
    if (dataSize != 0 && type->starts_with("#")) {
      const auto data = bytes.subspan(entry + headerSize, dataSize);
      resources.AddNamed(typeId, *name, reader.Word(field + 6), {data.begin(), data.end()});
    }
    entry = Align4(entry + headerSize + dataSize);
  }
  return resources;
}

void SimResources::Add(std::uint16_t type, std::uint16_t id, std::uint16_t language,
                       std::vector<std::uint8_t> bytes) {
  AddNamed(type, "#" + std::to_string(id), language, std::move(bytes));
}

void SimResources::AddNamed(std::uint16_t type, const std::string& name, std::uint16_t language,
                            std::vector<std::uint8_t> bytes) {
  resources_[Key{type, Upper(name), language}] = std::move(bytes);
}

const std::vector<std::uint8_t>* SimResources::Find(std::uint16_t type, const std::string& name,
                                                    std::uint16_t language) const {
  const std::string wanted = Upper(name);
  for (const auto& [key, bytes] : resources_) {
    if (key.type != type || key.name != wanted) continue;
    if (language == win::kLangNeutral || key.language == language) return &bytes;
  }
  return nullptr;
}

std::optional<std::vector<std::uint8_t>> SimResources::LoadResourceBytes(std::uint16_t type,
                                                                         std::uint16_t id,
                                                                         std::uint16_t language) {
  lookups.emplace_back(type, id, language);
  const auto* bytes = Find(type, "#" + std::to_string(id), language);
  if (bytes == nullptr || loadFails) return std::nullopt;
  return *bytes;
}

std::vector<SimResources::Key> SimResources::Keys() const {
  std::vector<Key> keys;
  for (const auto& entry : resources_) keys.push_back(entry.first);
  return keys;
}

}  // namespace velmora::sim
