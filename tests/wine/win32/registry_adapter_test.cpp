// The registry adapter and the product's registry values against Wine's registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "win32/Win32Registry.h"
#include "power/AdvReg.h"

namespace velmora::win32 {
namespace {

// The value as the registry holds it, read with the plain Win32 call.
std::vector<BYTE> RawValue(HKEY root, const wchar_t* key, const wchar_t* name, DWORD* type) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return {};
  std::vector<BYTE> data(512);
  DWORD size = static_cast<DWORD>(data.size());
  const LONG status = RegQueryValueExW(opened, name, nullptr, type, data.data(), &size);
  RegCloseKey(opened);
  data.resize(status == ERROR_SUCCESS ? size : 0);
  return data;
}

std::vector<BYTE> WideBytes(const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

bool KeyExists(HKEY root, const wchar_t* key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

constexpr const wchar_t* kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

TEST(Win32Registry, RunValueIsAQuotedUtf16StringAndIsDeletedAgain) {
  Win32Registry registry;
  TAdvReg advReg(registry,
                 "C:\\Program Files\\Zelkor Gr\xC3\xBC\xC3\x9F"
                 "e\\Velmora.exe");
  advReg.AddRunValue(kAutoStartName);
  DWORD type = 0;
  EXPECT_EQ(RawValue(HKEY_CURRENT_USER, kRun, L"zZelkorVelmora", &type),
            WideBytes(L"\"C:\\Program Files\\Zelkor Gr\u00FC\u00DFe\\Velmora.exe\""));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  advReg.RemoveRunValue(kAutoStartName);
  EXPECT_TRUE(RawValue(HKEY_CURRENT_USER, kRun, L"zZelkorVelmora", &type).empty());
  advReg.RemoveRunValue(kAutoStartName);  // gone already: nothing happens
}

TEST(Win32Registry, AutoRunReadCreatesTheKeyAndDwordsRoundTrip) {
  Win32Registry registry;
  TAdvReg advReg(registry, "C:\\Velmora.exe");
  ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Zelkor\\Velmora"));
  EXPECT_EQ(advReg.ReadUserDword(kVelmoraUserKey, kAutoRunValue), 0);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Zelkor\\Velmora"));

  advReg.WriteUserDword(kVelmoraUserKey, kResumePasswordLogonValue, 4);
  advReg.WriteUserDword(kVelmoraUserKey, kAutoRunValue, -2);
  DWORD type = 0;
  EXPECT_EQ(RawValue(HKEY_CURRENT_USER, L"Software\\Zelkor\\Velmora", L"AutoRun", &type),
            (std::vector<BYTE>{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(advReg.ReadUserDword(kVelmoraUserKey, "AUTORUN"), -2);
  EXPECT_EQ(advReg.ReadUserDword(kVelmoraUserKey, kResumePasswordLogonValue), 4);
}

TEST(Win32Registry, ASmallBufferGivesMoreDataAndTheSizeNeeded) {
  Win32Registry registry;
  RegKey key = 0;
  ASSERT_EQ(registry.RegCreateKeyExW(reg::kHkeyCurrentUser, "Software\\Zelkor\\Test", 0,
                                     reg::kKeyAllAccess, &key, nullptr),
            reg::kErrorSuccess);
  const std::vector<std::uint8_t> bytes(120, 0x5A);
  ASSERT_EQ(registry.RegSetValueExW(key, "Big", reg::kRegBinary, bytes.data(), 120),
            reg::kErrorSuccess);
  std::array<std::uint8_t, 100> buffer{};
  std::uint32_t type = 0;
  std::uint32_t size = buffer.size();
  EXPECT_EQ(registry.RegQueryValueExW(key, "Big", &type, buffer.data(), &size),
            reg::kErrorMoreData);
  EXPECT_EQ(size, 120u);
  EXPECT_EQ(registry.RegDeleteValueW(key, "Big"), reg::kErrorSuccess);
  EXPECT_EQ(registry.RegDeleteValueW(key, "Big"), reg::kErrorFileNotFound);
  EXPECT_EQ(registry.RegCloseKey(key), reg::kErrorSuccess);
}

TEST(Win32Registry, HibernationByteIsSetOnlyInUsableHeuristicsValues) {
  Win32Registry registry;
  const auto seed = [&registry](int set, std::vector<std::uint8_t> bytes) {
    RegKey key = 0;
    ASSERT_EQ(registry.RegCreateKeyExW(reg::kHkeyLocalMachine, PowerSettingsKey(set), 0,
                                       reg::kKeyAllAccess, &key, nullptr),
              reg::kErrorSuccess);
    if (!bytes.empty()) {
      registry.RegSetValueExW(key, kHeuristicsValue, reg::kRegBinary, bytes.data(),
                              static_cast<std::uint32_t>(bytes.size()));
    }
    registry.RegCloseKey(key);
  };
  seed(1, {5, 0, 0, 0, 0, 0, 0, 0, 0x3F});
  seed(2, {1, 2, 3, 4, 5, 6});  // too short to hold the byte
  seed(3, {});                  // the key without the value
  TAdvReg(registry, "C:\\Velmora.exe").EnableHibernation();

  DWORD type = 0;
  const std::wstring power = L"\\Control\\Session Manager\\Power";
  EXPECT_EQ(RawValue(HKEY_LOCAL_MACHINE, (L"System\\ControlSet001" + power).c_str(), L"Heuristics",
                     &type),
            (std::vector<BYTE>{5, 0, 0, 0, 0, 0, 1, 0, 0x3F}));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(RawValue(HKEY_LOCAL_MACHINE, (L"System\\ControlSet002" + power).c_str(), L"Heuristics",
                     &type),
            (std::vector<BYTE>{1, 2, 3, 4, 5, 6}));
  HKEY key3 = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (L"System\\ControlSet003" + power).c_str(), 0,
                          KEY_READ, &key3),
            ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key3, L"Heuristics", nullptr, nullptr, nullptr, nullptr),
            ERROR_FILE_NOT_FOUND);
  RegCloseKey(key3);
}

}  // namespace
}  // namespace velmora::win32
