// Simulated module resources: the resources of a compiled resource file (.res, as windres or
// rc.exe write it) or blocks handed in by a test, found the way FindResourceEx finds them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "ports/ResourcePort.h"

namespace velmora::sim {

class SimResources : public IResources {
 public:
  // A resource's name as FindResource compares it: "#<id>" for an integer identifier, the
  // upper-case string otherwise.
  struct Key {
    std::uint16_t type;
    std::string name;
    std::uint16_t language;
    auto operator<=>(const Key&) const = default;
  };

  // The resources of a .res file; nullopt when the file cannot be read or is malformed.
  static std::optional<SimResources> FromResFile(const std::string& path);
  static std::optional<SimResources> FromResBytes(std::span<const std::uint8_t> bytes);

  void Add(std::uint16_t type, std::uint16_t id, std::uint16_t language,
           std::vector<std::uint8_t> bytes);
  void AddNamed(std::uint16_t type, const std::string& name, std::uint16_t language,
                std::vector<std::uint8_t> bytes);

  // The exact language, or with win::kLangNeutral the resource in any language.
  std::optional<std::vector<std::uint8_t>> LoadResourceBytes(std::uint16_t type, std::uint16_t id,
                                                             std::uint16_t language) override;
  const std::vector<std::uint8_t>* Find(std::uint16_t type, const std::string& name,
                                        std::uint16_t language) const;
  std::vector<Key> Keys() const;

  bool loadFails = false;  // LoadResource (or LockResource) fails for every resource found
  std::vector<std::tuple<std::uint16_t, std::uint16_t, std::uint16_t>> lookups;

 private:
  std::map<Key, std::vector<std::uint8_t>> resources_;
};

}  // namespace velmora::sim
