// A simulated registry behind IRegistry: the trees under HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE with keys and typed values, compared without regard to letter case as
// Windows does. Handles remember the access they were opened with, so a write through a
// read-only handle fails as it does on Windows. Tests seed keys and values, inspect them and
// every call, and make single calls or keys fail.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ports/RegistryPort.h"

namespace velmora::sim {

inline constexpr RegStatus kErrorKeyDeleted = 1018;

struct SimRegValue {
  std::uint32_t type = reg::kRegNone;
  std::vector<std::uint8_t> data;
};

// One call as the program made it.
struct SimRegCall {
  std::string function;         // "RegOpenKeyExW", ...
  std::string key;              // full path of the key, "HKCU\Software\..."
  std::string valueName;        // for the value calls
  std::uint32_t samOrType = 0;  // access asked for, or the value type written
};

class SimRegistry : public IRegistry {
 public:
  SimRegistry();
  ~SimRegistry() override;

  RegStatus RegOpenKeyExW(RegKey key, const std::string& subKey, std::uint32_t samDesired,
                          RegKey* result) override;
  RegStatus RegCreateKeyExW(RegKey key, const std::string& subKey, std::uint32_t options,
                            std::uint32_t samDesired, RegKey* result,
                            std::uint32_t* disposition) override;
  RegStatus RegQueryValueExW(RegKey key, const std::string& valueName, std::uint32_t* type,
                             std::uint8_t* data, std::uint32_t* dataSize) override;
  RegStatus RegSetValueExW(RegKey key, const std::string& valueName, std::uint32_t type,
                           const std::uint8_t* data, std::uint32_t dataSize) override;
  RegStatus RegSetStringValueW(RegKey key, const std::string& valueName,
                               const std::string& text) override;
  RegStatus RegDeleteValueW(RegKey key, const std::string& valueName) override;
  RegStatus RegCloseKey(RegKey key) override;

  // Seeding and inspection; path is relative to root, levels separated by '\'.
  void CreateKey(RegKey root, const std::string& path);
  bool KeyExists(RegKey root, const std::string& path) const;
  void DeleteKey(RegKey root, const std::string& path);
  void SetValue(RegKey root, const std::string& path, const std::string& name, SimRegValue value);
  void SetDword(RegKey root, const std::string& path, const std::string& name, std::uint32_t value);
  void SetString(RegKey root, const std::string& path, const std::string& name,
                 const std::string& utf8Text);
  std::optional<SimRegValue> Value(RegKey root, const std::string& path,
                                   const std::string& name) const;
  // The value when it is a 4-byte REG_DWORD.
  std::optional<std::uint32_t> Dword(RegKey root, const std::string& path,
                                     const std::string& name) const;
  // The value when it is a REG_SZ, decoded, without its terminating null.
  std::optional<std::string> String(RegKey root, const std::string& path,
                                    const std::string& name) const;
  std::vector<std::string> ValueNames(RegKey root, const std::string& path) const;

  const std::vector<SimRegCall>& Calls() const { return calls_; }
  std::size_t CallCount(const std::string& function) const;
  std::size_t OpenHandleCount() const { return handles_.size(); }

  // Faults: every call of the function fails with status; opening or creating the key fails
  // with status.
  void FailCalls(const std::string& function, RegStatus status);
  void FailKey(RegKey root, const std::string& path, RegStatus status);

 private:
  struct Node;
  struct OpenKey {
    RegKey root = 0;
    std::vector<std::string> path;  // normalised (upper-case) levels
    std::uint32_t access = 0;
  };

  Node* Root(RegKey root) const;
  Node* Find(RegKey root, const std::vector<std::string>& levels) const;
  Node* Make(RegKey root, const std::vector<std::string>& levels, const std::string& path,
             bool* created);
  // The key a handle (or a predefined root) stands for; nullptr when it is gone.
  const OpenKey* Resolve(RegKey key) const;
  RegStatus Opened(const OpenKey& key, RegKey* result);
  std::optional<RegStatus> Injected(const std::string& function, const std::string& key) const;
  std::string FullPath(RegKey root, const std::vector<std::string>& levels) const;
  RegStatus ValueCall(const char* function, RegKey key, const std::string& valueName,
                      std::uint32_t needAccess, Node** node, std::uint32_t samOrType = 0);
  void Record(const std::string& function, const std::string& key,
              const std::string& valueName = "", std::uint32_t samOrType = 0);

  std::unique_ptr<Node> currentUser_;
  std::unique_ptr<Node> localMachine_;
  std::map<RegKey, OpenKey> handles_;
  std::map<RegKey, OpenKey> roots_;
  RegKey nextHandle_ = 0x1000;
  std::map<std::string, RegStatus> failingCalls_;
  std::map<std::string, RegStatus> failingKeys_;  // normalised full path -> status
  std::vector<SimRegCall> calls_;
};

// Splits a key path into upper-case levels; empty levels are dropped.
std::vector<std::string> RegistryPathLevels(const std::string& path);

// UTF-8 text as UTF-16 little-endian bytes (no terminator).
std::string Utf8ToUtf16Le(const std::string& text);

}  // namespace velmora::sim
