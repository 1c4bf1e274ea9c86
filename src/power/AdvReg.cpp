#include "power/AdvReg.h"

#include <array>
#include <utility>

namespace velmora {

std::string PowerSettingsKey(int controlSet) {
  return "System\\ControlSet00" + std::to_string(controlSet) + "\\Control\\Session Manager\\Power";
}

TAdvReg::TAdvReg(IRegistry& registry, std::string executablePath)
    : registry_(registry), executablePath_(std::move(executablePath)) {}

// 0 when the key cannot be opened (or created).
RegKey TAdvReg::OpenKey(RegKey root, const std::string& key, bool canCreate) {
  RegKey opened = 0;
  const RegStatus status = canCreate
                               ? registry_.RegCreateKeyExW(root, key, reg::kRegOptionNonVolatile,
                                                           reg::kKeyAllAccess, &opened, nullptr)
                               : registry_.RegOpenKeyExW(root, key, reg::kKeyAllAccess, &opened);
  return status == reg::kErrorSuccess ? opened : 0;
}

bool TAdvReg::SetRunValue(const std::string& valueName, const std::string& data, bool add) {
  const RegKey run = OpenKey(reg::kHkeyCurrentUser, kRunKey, add);
  if (run == 0) return false;
  RegStatus status = reg::kErrorSuccess;
  if (add) {
    // The shell splits an unquoted command line at the first space.
    const bool quote = data.find(' ') != std::string::npos;
    status = registry_.RegSetStringValueW(run, valueName, quote ? '"' + data + '"' : data);
  } else {
    registry_.RegDeleteValueW(run, valueName);  // a missing value is no error
  }
  registry_.RegCloseKey(run);
  return status == reg::kErrorSuccess;
}

bool TAdvReg::AddRunValue(const std::string& valueName) {
  return SetRunValue(valueName, executablePath_, true);
}

void TAdvReg::RemoveRunValue(const std::string& valueName) {
  SetRunValue(valueName, executablePath_, false);
}

std::int32_t TAdvReg::ReadUserDword(const std::string& key, const std::string& valueName) {
  const RegKey opened = OpenKey(reg::kHkeyCurrentUser, key, true);
  if (opened == 0) return 0;
  std::array<std::uint8_t, 4> data{};
  std::uint32_t type = reg::kRegNone;
  std::uint32_t size = data.size();
  const RegStatus status = registry_.RegQueryValueExW(opened, valueName, &type, data.data(), &size);
  registry_.RegCloseKey(opened);
  if (status != reg::kErrorSuccess || type != reg::kRegDword || size != data.size()) return 0;
  return static_cast<std::int32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                   static_cast<std::uint32_t>(data[3]) << 24);
}

void TAdvReg::WriteUserDword(const std::string& key, const std::string& valueName,
                             std::int32_t data) {
  const RegKey opened = OpenKey(reg::kHkeyCurrentUser, key, true);
  if (opened == 0) return;
  const auto value = static_cast<std::uint32_t>(data);
  const std::array<std::uint8_t, 4> bytes{
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  registry_.RegSetValueExW(opened, valueName, reg::kRegDword, bytes.data(), bytes.size());
  registry_.RegCloseKey(opened);
}

void TAdvReg::DeleteUserValue(const std::string& key, const std::string& valueName) {
  const RegKey opened = OpenKey(reg::kHkeyCurrentUser, key, false);
  if (opened == 0) return;
  registry_.RegDeleteValueW(opened, valueName);
  registry_.RegCloseKey(opened);
}

void TAdvReg::EnableHibernation() {
  for (int controlSet = 1; controlSet <= kHeuristicsControlSets; ++controlSet) {
    SetHeuristicsFlag(PowerSettingsKey(controlSet), 1);
  }
}

void TAdvReg::SetHeuristicsFlag(const std::string& key, std::uint8_t value) {
  const RegKey opened = OpenKey(reg::kHkeyLocalMachine, key, false);
  if (opened == 0) return;
  std::array<std::uint8_t, kHeuristicsMaxSize> buffer{};
  std::uint32_t type = reg::kRegNone;
  std::uint32_t size = buffer.size();
  const RegStatus status =
      registry_.RegQueryValueExW(opened, kHeuristicsValue, &type, buffer.data(), &size);
  // A missing value, one longer than the buffer (ERROR_MORE_DATA), another type or one too
  // short to hold the byte is left as it is: writing it back would destroy it.
  const bool usable = status == reg::kErrorSuccess && type == reg::kRegBinary &&
                      size > kHeuristicsHibernationByte && size <= buffer.size();
  if (usable && buffer[kHeuristicsHibernationByte] != value) {
    buffer[kHeuristicsHibernationByte] = value;
    registry_.RegSetValueExW(opened, kHeuristicsValue, reg::kRegBinary, buffer.data(), size);
  }
  registry_.RegCloseKey(opened);
}

}  // namespace velmora
