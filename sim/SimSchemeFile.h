// Exported power schemes (.pow files) as PowerImportPowerScheme reads them on Vista and later:
// a registry hive whose root key is the scheme itself, with FriendlyName (and Description) as
// REG_EXPAND_SZ or REG_SZ values; every subkey is named by a GUID string without braces; a
// setting of no subgroup is a key directly under the root, any other is subgroup\setting; each
// setting holds ACSettingIndex and DCSettingIndex as REG_DWORD. This is the layout
// "powercfg -export" writes. A file laid out otherwise (an extra level above the scheme, braces
// around the GUIDs, names that are no GUIDs, values of another type) is not imported.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ports/WinTypes.h"

namespace velmora::sim {

struct SimSettingIndex {
  std::uint32_t ac = 0;
  std::uint32_t dc = 0;
  friend bool operator==(const SimSettingIndex&, const SimSettingIndex&) = default;
};

// A scheme's settings by "subgroup\setting", or "setting" for one of no subgroup, each GUID in
// lower case without braces.
using SimSchemeSettings = std::map<std::string, SimSettingIndex>;

struct ExportedScheme {
  std::u16string friendlyName;
  SimSchemeSettings settings;
};

// A GUID as the settings' keys name it: lower case, no braces.
std::string BareGuidText(const Guid& guid);

// The scheme in the bytes of a .pow file, or nullopt when Windows would not import it.
std::optional<ExportedScheme> ReadExportedScheme(const std::vector<std::uint8_t>& file);

}  // namespace velmora::sim
