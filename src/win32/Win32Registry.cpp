#include "win32/Win32Registry.h"

#include <windows.h>

#include "win32/Win32Text.h"

namespace velmora::win32 {
namespace {

// The predefined keys are sign-extended constants; opened keys are plain handles.
HKEY ToHkey(RegKey key) {
  if (key == reg::kHkeyCurrentUser) return HKEY_CURRENT_USER;
  if (key == reg::kHkeyLocalMachine) return HKEY_LOCAL_MACHINE;
  return reinterpret_cast<HKEY>(key);
}

RegKey FromHkey(HKEY key) {
  return reinterpret_cast<RegKey>(key);
}

}  // namespace

RegStatus Win32Registry::RegOpenKeyExW(RegKey key, const std::string& subKey,
                                       std::uint32_t samDesired, RegKey* result) {
  HKEY opened = nullptr;
  const LONG status =
      ::RegOpenKeyExW(ToHkey(key), Utf8ToWide(subKey).c_str(), 0, samDesired, &opened);
  if (status == ERROR_SUCCESS && result != nullptr) *result = FromHkey(opened);
  return status;
}

RegStatus Win32Registry::RegCreateKeyExW(RegKey key, const std::string& subKey,
                                         std::uint32_t options, std::uint32_t samDesired,
                                         RegKey* result, std::uint32_t* disposition) {
  HKEY created = nullptr;
  DWORD how = 0;
  const LONG status = ::RegCreateKeyExW(ToHkey(key), Utf8ToWide(subKey).c_str(), 0, nullptr,
                                        options, samDesired, nullptr, &created, &how);
  if (status == ERROR_SUCCESS && result != nullptr) *result = FromHkey(created);
  if (status == ERROR_SUCCESS && disposition != nullptr) *disposition = how;
  return status;
}

RegStatus Win32Registry::RegQueryValueExW(RegKey key, const std::string& valueName,
                                          std::uint32_t* type, std::uint8_t* data,
                                          std::uint32_t* dataSize) {
  DWORD valueType = 0;
  DWORD size = dataSize != nullptr ? *dataSize : 0;
  const LONG status = ::RegQueryValueExW(ToHkey(key), Utf8ToWide(valueName).c_str(), nullptr,
                                         &valueType, data, dataSize != nullptr ? &size : nullptr);
  if (type != nullptr) *type = valueType;
  if (dataSize != nullptr) *dataSize = size;
  return status;
}

RegStatus Win32Registry::RegSetValueExW(RegKey key, const std::string& valueName,
                                        std::uint32_t type, const std::uint8_t* data,
                                        std::uint32_t dataSize) {
  return ::RegSetValueExW(ToHkey(key), Utf8ToWide(valueName).c_str(), 0, type, data, dataSize);
}

RegStatus Win32Registry::RegSetStringValueW(RegKey key, const std::string& valueName,
                                            const std::string& text) {
  const std::wstring wide = Utf8ToWide(text);
  const auto bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(ToHkey(key), Utf8ToWide(valueName).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(wide.c_str()), bytes);
}

RegStatus Win32Registry::RegDeleteValueW(RegKey key, const std::string& valueName) {
  return ::RegDeleteValueW(ToHkey(key), Utf8ToWide(valueName).c_str());
}

RegStatus Win32Registry::RegCloseKey(RegKey key) {
  return ::RegCloseKey(ToHkey(key));
}

}  // namespace velmora::win32
