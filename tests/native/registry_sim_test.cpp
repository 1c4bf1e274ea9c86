// The simulated registry keeps the rules of the real one that the program's code relies on.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "sim/SimRegistry.h"

namespace velmora::sim {
namespace {

constexpr RegKey kHkcu = reg::kHkeyCurrentUser;

TEST(SimRegistry, ASmallBufferGivesMoreDataWithTheSizeNeeded) {
  SimRegistry registry;
  registry.SetValue(kHkcu, "K", "V", {reg::kRegBinary, std::vector<std::uint8_t>(10, 7)});
  RegKey key = 0;
  ASSERT_EQ(registry.RegOpenKeyExW(kHkcu, "k", reg::kKeyRead, &key), reg::kErrorSuccess);
  std::array<std::uint8_t, 4> small{};
  std::uint32_t type = 0;
  std::uint32_t size = small.size();
  EXPECT_EQ(registry.RegQueryValueExW(key, "v", &type, small.data(), &size), reg::kErrorMoreData);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(type, reg::kRegBinary);
  size = 0;
  EXPECT_EQ(registry.RegQueryValueExW(key, "V", nullptr, nullptr, &size), reg::kErrorSuccess);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(registry.RegQueryValueExW(key, "W", &type, small.data(), &size),
            reg::kErrorFileNotFound);
  EXPECT_EQ(registry.RegCloseKey(key), reg::kErrorSuccess);
  EXPECT_EQ(registry.RegCloseKey(key), reg::kErrorInvalidHandle);
}

TEST(SimRegistry, AKeyOpenedForReadingCannotBeWritten) {
  SimRegistry registry;
  registry.CreateKey(kHkcu, "Software\\A");
  RegKey key = 0;
  ASSERT_EQ(registry.RegOpenKeyExW(kHkcu, "SOFTWARE\\a", reg::kKeyRead, &key), reg::kErrorSuccess);
  const std::uint8_t one = 1;
  EXPECT_EQ(registry.RegSetValueExW(key, "x", reg::kRegBinary, &one, 1), reg::kErrorAccessDenied);
  EXPECT_EQ(registry.RegDeleteValueW(key, "x"), reg::kErrorAccessDenied);
  registry.RegCloseKey(key);
}

TEST(SimRegistry, CreatingMakesEveryLevelAndReportsWhetherItWasNew) {
  SimRegistry registry;
  RegKey key = 0;
  std::uint32_t disposition = 0;
  ASSERT_EQ(registry.RegCreateKeyExW(kHkcu, "A\\B\\C", 0, reg::kKeyAllAccess, &key, &disposition),
            reg::kErrorSuccess);
  EXPECT_EQ(disposition, reg::kRegCreatedNewKey);
  EXPECT_TRUE(registry.KeyExists(kHkcu, "a\\b"));
  registry.RegCloseKey(key);
  ASSERT_EQ(registry.RegCreateKeyExW(kHkcu, "a\\b\\c", 0, reg::kKeyAllAccess, &key, &disposition),
            reg::kErrorSuccess);
  EXPECT_EQ(disposition, reg::kRegOpenedExistingKey);
  RegKey child = 0;
  EXPECT_EQ(registry.RegOpenKeyExW(kHkcu, "A\\B\\C\\D", reg::kKeyRead, &child),
            reg::kErrorFileNotFound);
  registry.DeleteKey(kHkcu, "A\\B");
  EXPECT_EQ(registry.RegQueryValueExW(key, "x", nullptr, nullptr, nullptr), kErrorKeyDeleted);
  registry.RegCloseKey(key);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace velmora::sim
