#include "sim/SimSchemeFile.h"

#include <cctype>
#include <cstdio>

#include "sim/SimRegistryHive.h"

namespace velmora::sim {
namespace {

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegDword = 4;

// "8-4-4-4-12" hexadecimal digits, as the exported key names are; returned in lower case.
std::optional<std::string> BareGuid(const std::string& name) {
  if (name.size() != 36) return std::nullopt;
  std::string lower;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    const auto c = static_cast<unsigned char>(name[i]);
    if (dash ? c != '-' : !std::isxdigit(c)) return std::nullopt;
    lower.push_back(static_cast<char>(std::tolower(c)));
  }
  return lower;
}

// UTF-16LE string data up to its terminating zero (or its end).
std::optional<std::u16string> StringValue(const HiveValue* value) {
  if (value == nullptr || (value->type != kRegSz && value->type != kRegExpandSz)) {
    return std::nullopt;
  }
  std::u16string text;
  for (std::size_t i = 0; i + 1 < value->data.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(value->data[i] | value->data[i + 1] << 8);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

std::optional<std::uint32_t> DwordValue(const HiveValue* value) {
  if (value == nullptr || value->type != kRegDword || value->data.size() != 4) return std::nullopt;
  return static_cast<std::uint32_t>(value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
                                    static_cast<std::uint32_t>(value->data[3]) << 24);
}

bool IsSetting(const HiveKey& key) { return key.Value("ACSettingIndex") != nullptr ||
                                            key.Value("DCSettingIndex") != nullptr; }

bool ReadSetting(const HiveKey& key, const std::string& path, SimSchemeSettings& settings) {
  const std::optional<std::uint32_t> ac = DwordValue(key.Value("ACSettingIndex"));
  const std::optional<std::uint32_t> dc = DwordValue(key.Value("DCSettingIndex"));
  if (!ac || !dc || !key.subkeys.empty()) return false;
  settings[path] = SimSettingIndex{*ac, *dc};
  return true;
}

}  // namespace

std::string BareGuidText(const Guid& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", guid.Data1,
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::optional<ExportedScheme> ReadExportedScheme(const std::vector<std::uint8_t>& file) {
  const std::optional<HiveKey> root = ReadRegistryHive(file);
  if (!root) return std::nullopt;
  std::optional<std::u16string> name = StringValue(root->Value("FriendlyName"));
  if (!name || name->empty()) return std::nullopt;
  ExportedScheme scheme{*name, {}};
  for (const HiveKey& key : root->subkeys) {
    const std::optional<std::string> guid = BareGuid(key.name);
    if (!guid) return std::nullopt;
    if (IsSetting(key)) {
      if (!ReadSetting(key, *guid, scheme.settings)) return std::nullopt;
      continue;
    }
    for (const HiveKey& setting : key.subkeys) {
      const std::optional<std::string> settingGuid = BareGuid(setting.name);
      if (!settingGuid || !ReadSetting(setting, *guid + "\\" + *settingGuid, scheme.settings)) {
        return std::nullopt;
      }
    }
  }
  return scheme;
}

}  // namespace velmora::sim
