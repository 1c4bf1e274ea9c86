// The product's registry values: the autostart marker and the saved password-on-resume flag
// under the current user's key, the classic autostart value under the Run key, and the
// hibernation switch in the machine's power settings. Every operation opens one key, uses it
// and closes it; failures are silent (nothing read gives 0, nothing written is no error),
// except for the autostart value, which Apply depends on.
#pragma once

#include <cstdint>
#include <string>

#include "ports/RegistryPort.h"

namespace velmora {

inline constexpr char kVelmoraUserKey[] = "Software\\Zelkor\\Velmora";
inline constexpr char kAutoRunValue[] = "AutoRun";
inline constexpr char kResumePasswordLogonValue[] = "Resume Password Logon";
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// The Run value and the logon task both carry this name.
inline constexpr char kAutoStartName[] = "zZelkorVelmora";

inline constexpr char kHeuristicsValue[] = "Heuristics";
// Byte 6 of the power settings' "Heuristics" value switches hibernation on (1) or off (0).
inline constexpr std::uint32_t kHeuristicsHibernationByte = 6;
inline constexpr std::uint32_t kHeuristicsMaxSize = 100;
inline constexpr int kHeuristicsControlSets = 5;

// "System\ControlSet00N\Control\Session Manager\Power" for N = 1..5.
std::string PowerSettingsKey(int controlSet);

class TAdvReg {
 public:
  TAdvReg(IRegistry& registry, std::string executablePath);

  // Adds (add = true) or deletes the value valueName under the current user's Run key. Added
  // data containing a space is stored in double quotes. False when an added value could not be
  // written.
  bool SetRunValue(const std::string& valueName, const std::string& data, bool add);
  bool AddRunValue(const std::string& valueName);
  void RemoveRunValue(const std::string& valueName);

  // The REG_DWORD value under the current user's key (created when missing); 0 when the value
  // is missing or is not a DWORD.
  std::int32_t ReadUserDword(const std::string& key, const std::string& valueName);
  void WriteUserDword(const std::string& key, const std::string& valueName, std::int32_t data);
  // Deletes the value under the current user's key; a missing key or value is no error.
  void DeleteUserValue(const std::string& key, const std::string& valueName);

  // Sets the hibernation byte to 1 under the power settings of control sets 001 to 005.
  void EnableHibernation();
  // One key of EnableHibernation: rewrites "Heuristics" only when it is a REG_BINARY of 7 to 100
  // bytes whose byte 6 differs from value.
  void SetHeuristicsFlag(const std::string& key, std::uint8_t value);

 private:
  RegKey OpenKey(RegKey root, const std::string& key, bool canCreate);

  IRegistry& registry_;
  std::string executablePath_;
};

}  // namespace velmora
