#include "sim/SimRegistry.h"

#include <algorithm>

#include "config/IniTextDecoding.h"
#include "config/MemIniFile.h"
#include "config/Utf8Text.h"

namespace velmora::sim {

struct SimRegistry::Node {
  std::string name;
  std::map<std::string, std::unique_ptr<Node>> subkeys;               // upper-case name -> key
  std::map<std::string, std::pair<std::string, SimRegValue>> values;  // upper-case -> value
};

std::vector<std::string> RegistryPathLevels(const std::string& path) {
  std::vector<std::string> levels;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) levels.push_back(UpperAscii(path.substr(start, end - start)));
    start = end + 1;
  }
  return levels;
}

std::string Utf8ToUtf16Le(const std::string& text) {
  std::string bytes;
  std::size_t pos = 0;
  const auto unit = [&bytes](char32_t u) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  };
  while (pos < text.size()) {
    const char32_t c = NextUtf8CodePoint(text, pos).value_or(kReplacementCharacter);
    if (c < 0x10000) {
      unit(c);
    } else {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return bytes;
}

SimRegistry::SimRegistry()
    : currentUser_(std::make_unique<Node>()), localMachine_(std::make_unique<Node>()) {
  for (RegKey root : {reg::kHkeyCurrentUser, reg::kHkeyLocalMachine}) {
    roots_[root] = OpenKey{root, {}, reg::kKeyAllAccess};
  }
}

SimRegistry::~SimRegistry() = default;

SimRegistry::Node* SimRegistry::Root(RegKey root) const {
  if (root == reg::kHkeyCurrentUser) return currentUser_.get();
  if (root == reg::kHkeyLocalMachine) return localMachine_.get();
  return nullptr;
}

SimRegistry::Node* SimRegistry::Find(RegKey root, const std::vector<std::string>& levels) const {
  Node* node = Root(root);
  for (const std::string& level : levels) {
    if (node == nullptr) return nullptr;
    const auto found = node->subkeys.find(level);
    node = found == node->subkeys.end() ? nullptr : found->second.get();
  }
  return node;
}

SimRegistry::Node* SimRegistry::Make(RegKey root, const std::vector<std::string>& levels,
                                     const std::string& path, bool* created) {
  std::vector<std::string> names;  // the levels as the caller spelt them
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) names.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  Node* node = Root(root);
  if (created != nullptr) *created = false;
  for (std::size_t i = 0; node != nullptr && i < levels.size(); ++i) {
    auto& child = node->subkeys[levels[i]];
    if (!child) {
      child = std::make_unique<Node>();
      child->name = names[i];
      if (created != nullptr) *created = true;
    }
    node = child.get();
  }
  return node;
}

const SimRegistry::OpenKey* SimRegistry::Resolve(RegKey key) const {
  const auto handle = handles_.find(key);
  if (handle != handles_.end()) return &handle->second;
  const auto root = roots_.find(key);
  return root == roots_.end() ? nullptr : &root->second;
}

std::string SimRegistry::FullPath(RegKey root, const std::vector<std::string>& levels) const {
  std::string path = root == reg::kHkeyCurrentUser ? "HKCU" : "HKLM";
  for (const std::string& level : levels) path += "\\" + level;
  return path;
}

std::optional<RegStatus> SimRegistry::Injected(const std::string& function,
                                               const std::string& key) const {
  const auto call = failingCalls_.find(function);
  if (call != failingCalls_.end()) return call->second;
  const auto failingKey = failingKeys_.find(key);
  if (failingKey != failingKeys_.end() &&
      (function == "RegOpenKeyExW" || function == "RegCreateKeyExW")) {
    return failingKey->second;
  }
  return std::nullopt;
}

void SimRegistry::Record(const std::string& function, const std::string& key,
                         const std::string& valueName, std::uint32_t samOrType) {
  calls_.push_back(SimRegCall{function, key, valueName, samOrType});
}

RegStatus SimRegistry::Opened(const OpenKey& key, RegKey* result) {
  if (result == nullptr) return reg::kErrorInvalidParameter;
  const RegKey handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = key;
  *result = handle;
  return reg::kErrorSuccess;
}

RegStatus SimRegistry::RegOpenKeyExW(RegKey key, const std::string& subKey,
                                     std::uint32_t samDesired, RegKey* result) {
  const OpenKey* parent = Resolve(key);
  std::vector<std::string> levels = parent ? parent->path : std::vector<std::string>{};
  for (const std::string& level : RegistryPathLevels(subKey)) levels.push_back(level);
  const std::string full = parent ? FullPath(parent->root, levels) : "?\\" + subKey;
  Record("RegOpenKeyExW", full, "", samDesired);
  if (parent == nullptr) return reg::kErrorInvalidHandle;
  if (auto status = Injected("RegOpenKeyExW", UpperAscii(full))) return *status;
  if (Find(parent->root, parent->path) == nullptr) return kErrorKeyDeleted;
  if (Find(parent->root, levels) == nullptr) return reg::kErrorFileNotFound;
  return Opened(OpenKey{parent->root, levels, samDesired}, result);
}

RegStatus SimRegistry::RegCreateKeyExW(RegKey key, const std::string& subKey, std::uint32_t,
                                       std::uint32_t samDesired, RegKey* result,
                                       std::uint32_t* disposition) {
  const OpenKey* parent = Resolve(key);
  std::vector<std::string> levels = parent ? parent->path : std::vector<std::string>{};
  const std::vector<std::string> added = RegistryPathLevels(subKey);
  levels.insert(levels.end(), added.begin(), added.end());
  const std::string full = parent ? FullPath(parent->root, levels) : "?\\" + subKey;
  Record("RegCreateKeyExW", full, "", samDesired);
  if (parent == nullptr) return reg::kErrorInvalidHandle;
  if (auto status = Injected("RegCreateKeyExW", UpperAscii(full))) return *status;
  Node* base = Find(parent->root, parent->path);
  if (base == nullptr) return kErrorKeyDeleted;
  bool created = false;
  std::string spelt;
  for (const auto& level : parent->path) spelt += level + "\\";
  Make(parent->root, levels, spelt + subKey, &created);
  if (disposition != nullptr) {
    *disposition = created ? reg::kRegCreatedNewKey : reg::kRegOpenedExistingKey;
  }
  return Opened(OpenKey{parent->root, levels, samDesired}, result);
}

// The common checks of the value calls: a valid handle, a key that still exists, the access.
RegStatus SimRegistry::ValueCall(const char* function, RegKey key, const std::string& valueName,
                                 std::uint32_t needAccess, Node** node, std::uint32_t samOrType) {
  const OpenKey* open = Resolve(key);
  Record(function, open ? FullPath(open->root, open->path) : "?", valueName, samOrType);
  if (open == nullptr) return reg::kErrorInvalidHandle;
  if (auto status = Injected(function, "")) return *status;
  *node = Find(open->root, open->path);
  if (*node == nullptr) return kErrorKeyDeleted;
  if ((open->access & needAccess) != needAccess) return reg::kErrorAccessDenied;
  return reg::kErrorSuccess;
}

RegStatus SimRegistry::RegQueryValueExW(RegKey key, const std::string& valueName,
                                        std::uint32_t* type, std::uint8_t* data,
                                        std::uint32_t* dataSize) {
  Node* node = nullptr;
  const RegStatus status =
      ValueCall("RegQueryValueExW", key, valueName, reg::kKeyQueryValue, &node);
  if (status != reg::kErrorSuccess) return status;
  if (data != nullptr && dataSize == nullptr) return reg::kErrorInvalidParameter;
  const auto found = node->values.find(UpperAscii(valueName));
  if (found == node->values.end()) return reg::kErrorFileNotFound;
  const SimRegValue& value = found->second.second;
  const auto size = static_cast<std::uint32_t>(value.data.size());
  if (type != nullptr) *type = value.type;
  if (dataSize == nullptr) return reg::kErrorSuccess;
  const std::uint32_t room = *dataSize;
  *dataSize = size;
  if (data == nullptr) return reg::kErrorSuccess;
  if (room < size) return reg::kErrorMoreData;
  std::copy(value.data.begin(), value.data.end(), data);
  return reg::kErrorSuccess;
}

RegStatus SimRegistry::RegSetValueExW(RegKey key, const std::string& valueName, std::uint32_t type,
                                      const std::uint8_t* data, std::uint32_t dataSize) {
  Node* node = nullptr;
  const RegStatus status =
      ValueCall("RegSetValueExW", key, valueName, reg::kKeySetValue, &node, type);
  if (status != reg::kErrorSuccess) return status;
  if (data == nullptr && dataSize != 0) return reg::kErrorInvalidParameter;
  SimRegValue value{type, {}};
  if (dataSize != 0) value.data.assign(data, data + dataSize);
  auto& slot = node->values[UpperAscii(valueName)];
  if (slot.first.empty()) slot.first = valueName;
  slot.second = std::move(value);
  return reg::kErrorSuccess;
}

RegStatus SimRegistry::RegSetStringValueW(RegKey key, const std::string& valueName,
                                          const std::string& text) {
  const std::string bytes = Utf8ToUtf16Le(text) + std::string(2, '\0');
  Node* node = nullptr;
  const RegStatus status =
      ValueCall("RegSetValueExW", key, valueName, reg::kKeySetValue, &node, reg::kRegSz);
  if (status != reg::kErrorSuccess) return status;
  auto& slot = node->values[UpperAscii(valueName)];
  if (slot.first.empty()) slot.first = valueName;
  slot.second = SimRegValue{reg::kRegSz, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
  return reg::kErrorSuccess;
}

RegStatus SimRegistry::RegDeleteValueW(RegKey key, const std::string& valueName) {
  Node* node = nullptr;
  const RegStatus status = ValueCall("RegDeleteValueW", key, valueName, reg::kKeySetValue, &node);
  if (status != reg::kErrorSuccess) return status;
  return node->values.erase(UpperAscii(valueName)) != 0 ? reg::kErrorSuccess
                                                        : reg::kErrorFileNotFound;
}

RegStatus SimRegistry::RegCloseKey(RegKey key) {
  const OpenKey* open = Resolve(key);
  Record("RegCloseKey", open ? FullPath(open->root, open->path) : "?");
  if (roots_.count(key) != 0) return reg::kErrorSuccess;  // predefined keys stay open
  return handles_.erase(key) != 0 ? reg::kErrorSuccess : reg::kErrorInvalidHandle;
}

void SimRegistry::CreateKey(RegKey root, const std::string& path) {
  Make(root, RegistryPathLevels(path), path, nullptr);
}

bool SimRegistry::KeyExists(RegKey root, const std::string& path) const {
  return Find(root, RegistryPathLevels(path)) != nullptr;
}

void SimRegistry::DeleteKey(RegKey root, const std::string& path) {
  std::vector<std::string> levels = RegistryPathLevels(path);
  if (levels.empty()) return;
  const std::string last = levels.back();
  levels.pop_back();
  if (Node* parent = Find(root, levels)) parent->subkeys.erase(last);
}

void SimRegistry::SetValue(RegKey root, const std::string& path, const std::string& name,
                           SimRegValue value) {
  Node* node = Make(root, RegistryPathLevels(path), path, nullptr);
  if (node != nullptr) node->values[UpperAscii(name)] = {name, std::move(value)};
}

void SimRegistry::SetDword(RegKey root, const std::string& path, const std::string& name,
                           std::uint32_t value) {
  SetValue(root, path, name,
           SimRegValue{
               reg::kRegDword,
               {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}});
}

void SimRegistry::SetString(RegKey root, const std::string& path, const std::string& name,
                            const std::string& utf8Text) {
  const std::string bytes = Utf8ToUtf16Le(utf8Text) + std::string(2, '\0');
  SetValue(root, path, name,
           SimRegValue{reg::kRegSz, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
}

std::optional<SimRegValue> SimRegistry::Value(RegKey root, const std::string& path,
                                              const std::string& name) const {
  const Node* node = Find(root, RegistryPathLevels(path));
  if (node == nullptr) return std::nullopt;
  const auto found = node->values.find(UpperAscii(name));
  if (found == node->values.end()) return std::nullopt;
  return found->second.second;
}

std::optional<std::uint32_t> SimRegistry::Dword(RegKey root, const std::string& path,
                                                const std::string& name) const {
  const auto value = Value(root, path, name);
  if (!value || value->type != reg::kRegDword || value->data.size() != 4) return std::nullopt;
  const auto& d = value->data;
  return d[0] | d[1] << 8 | d[2] << 16 | static_cast<std::uint32_t>(d[3]) << 24;
}

std::optional<std::string> SimRegistry::String(RegKey root, const std::string& path,
                                               const std::string& name) const {
  const auto value = Value(root, path, name);
  if (!value || value->type != reg::kRegSz) return std::nullopt;
  std::string bytes(value->data.begin(), value->data.end());
  if (bytes.size() >= 2 && bytes[bytes.size() - 1] == '\0' && bytes[bytes.size() - 2] == '\0') {
    bytes.resize(bytes.size() - 2);
  }
  return Utf16ToUtf8(bytes, false);
}

std::vector<std::string> SimRegistry::ValueNames(RegKey root, const std::string& path) const {
  std::vector<std::string> names;
  if (const Node* node = Find(root, RegistryPathLevels(path))) {
    for (const auto& [upper, value] : node->values) names.push_back(value.first);
  }
  return names;
}

std::size_t SimRegistry::CallCount(const std::string& function) const {
  return static_cast<std::size_t>(std::count_if(
      calls_.begin(), calls_.end(), [&](const SimRegCall& c) { return c.function == function; }));
}

void SimRegistry::FailCalls(const std::string& function, RegStatus status) {
  failingCalls_[function] = status;
}

void SimRegistry::FailKey(RegKey root, const std::string& path, RegStatus status) {
  failingKeys_[UpperAscii(FullPath(root, RegistryPathLevels(path)))] = status;
}

}  // namespace velmora::sim
