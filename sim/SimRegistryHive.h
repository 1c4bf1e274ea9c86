// A reader of Windows NT registry hive files ("regf"), as the simulated Windows needs it to read
// a file that Windows itself would load as a hive (an exported power scheme). It follows the
// on-disk format: a 4 KiB base block, then hive bins of cells; key nodes ("nk") with their
// subkey lists ("lf", "lh", "li", and "ri" lists of lists) and value lists of value cells ("vk")
// whose data is either stored in the cell's offset field (4 bytes or less) or in a data cell.
// Every offset, count and length is checked against the file; anything out of bounds, of the
// wrong signature, nested too deep or too large makes the whole file unreadable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::sim {

struct HiveValue {
  std::string name;  // UTF-8 ("" is the key's default value)
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

struct HiveKey {
  std::string name;  // UTF-8
  std::vector<HiveValue> values;
  std::vector<HiveKey> subkeys;

  const HiveValue* Value(const std::string& valueName) const;
};

// The root key with everything below it, or nullopt when the bytes are not a readable hive.
std::optional<HiveKey> ReadRegistryHive(const std::vector<std::uint8_t>& file);

}  // namespace velmora::sim
