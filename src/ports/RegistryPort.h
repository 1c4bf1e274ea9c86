// The registry as advapi32 offers it: the "W" key and value calls that a program storing a few
// values needs. Key and value names are UTF-8 here; the Win32 adapter passes them as UTF-16.
// Value data is raw bytes exactly as the registry stores them, except for RegSetStringValueW,
// which takes UTF-8 text and stores a REG_SZ in the registry's own form (UTF-16 with its
// terminating null).
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

using RegKey = std::uintptr_t;   // HKEY
using RegStatus = std::int32_t;  // LSTATUS: a Win32 error code, 0 on success

namespace reg {
// Predefined root keys (winreg.h).
inline constexpr RegKey kHkeyCurrentUser = 0x80000001;
inline constexpr RegKey kHkeyLocalMachine = 0x80000002;

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// Access rights and options.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyRead = 0x00020019;
inline constexpr std::uint32_t kKeyAllAccess = 0x000F003F;
inline constexpr std::uint32_t kRegOptionNonVolatile = 0;

// RegCreateKeyEx dispositions.
inline constexpr std::uint32_t kRegCreatedNewKey = 1;
inline constexpr std::uint32_t kRegOpenedExistingKey = 2;

// Results.
inline constexpr RegStatus kErrorSuccess = 0;
inline constexpr RegStatus kErrorFileNotFound = 2;
inline constexpr RegStatus kErrorAccessDenied = 5;
inline constexpr RegStatus kErrorInvalidHandle = 6;
inline constexpr RegStatus kErrorInvalidParameter = 87;
inline constexpr RegStatus kErrorMoreData = 234;
}  // namespace reg

class IRegistry {
 public:
  virtual ~IRegistry() = default;

  // RegOpenKeyExW(key, subKey, 0, samDesired, result).
  virtual RegStatus RegOpenKeyExW(RegKey key, const std::string& subKey, std::uint32_t samDesired,
                                  RegKey* result) = 0;
  // RegCreateKeyExW with no class and no security attributes; creates every missing level.
  // disposition may be null.
  virtual RegStatus RegCreateKeyExW(RegKey key, const std::string& subKey, std::uint32_t options,
                                    std::uint32_t samDesired, RegKey* result,
                                    std::uint32_t* disposition) = 0;
  // RegQueryValueExW: type and data may be null; *dataSize is the buffer size in bytes on
  // entry and the value's size on return. A buffer too small gives ERROR_MORE_DATA with the
  // size needed.
  virtual RegStatus RegQueryValueExW(RegKey key, const std::string& valueName, std::uint32_t* type,
                                     std::uint8_t* data, std::uint32_t* dataSize) = 0;
  // RegSetValueExW with raw data (REG_DWORD, REG_BINARY, ...).
  virtual RegStatus RegSetValueExW(RegKey key, const std::string& valueName, std::uint32_t type,
                                   const std::uint8_t* data, std::uint32_t dataSize) = 0;
  // RegSetValueExW with REG_SZ: the text, converted to UTF-16, with its terminating null.
  virtual RegStatus RegSetStringValueW(RegKey key, const std::string& valueName,
                                       const std::string& text) = 0;
  // RegDeleteValueW; ERROR_FILE_NOT_FOUND when the value does not exist.
  virtual RegStatus RegDeleteValueW(RegKey key, const std::string& valueName) = 0;
  virtual RegStatus RegCloseKey(RegKey key) = 0;
};

}  // namespace velmora
