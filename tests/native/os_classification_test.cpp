#include <gtest/gtest.h>

#include "config/OsVersion.h"

namespace velmora {
namespace {

struct OsCase {
  const char* label;
  std::uint32_t platform, major, minor;
  std::uint8_t productType;
  std::uint16_t arch;
  bool wow64;
  TOsType type;
  const char* code;
  const char* display;
};

constexpr std::uint8_t kWorkstation = 1, kServer = 3;
constexpr std::uint16_t kX86 = 0, kIa64 = 6, kAmd64 = 9;

const OsCase kCases[] = {
    {"Win7 x64", 2, 6, 1, kWorkstation, kAmd64, true, 6, "WNT_6.1A", "Windows 7"},
    {"Win7 x86", 2, 6, 1, kWorkstation, kX86, false, 4, "WNT_6.1", "Windows 7"},
    {"Win7 IA-64 workstation", 2, 6, 1, kWorkstation, kIa64, true, 5, "WNT_6.1A", "Windows 7"},
    {"2008 R2 x64", 2, 6, 1, kServer, kAmd64, true, 6, "WNT_6.1S", "Windows 7"},
    {"2008 R2 DC x86", 2, 6, 1, 2, kX86, false, 4, "WNT_6.1S", "Windows 7"},
    {"Vista x64", 2, 6, 0, kWorkstation, kAmd64, true, 6, "WNT_6.0A", "Windows Vista64"},
    {"Vista x86", 2, 6, 0, kWorkstation, kX86, false, 4, "WNT_6.0", "Windows Vista"},
    {"Server 2008 x86", 2, 6, 0, kServer, kX86, false, 4, "WNT_6.0S", "Windows Server 2008"},
    {"Server 2008 IA-64", 2, 6, 0, kServer, kIa64, true, 5, "WNT_6.0S", "Windows Server 2008"},
    {"XP x64", 2, 5, 2, kWorkstation, kAmd64, true, 3, "WNT_5.2A", "Windows XP64"},
    {"5.2 workstation on IA-64", 2, 5, 2, kWorkstation, kIa64, true, 2, "WNT_5.2S",
     "Windows Server 2003"},
    {"Server 2003 x86", 2, 5, 2, kServer, kX86, false, 1, "WNT_5.2S", "Windows Server 2003"},
    {"Server 2003 x64", 2, 5, 2, kServer, kAmd64, true, 3, "WNT_5.2S", "Windows Server 2003"},
    {"XP x86", 2, 5, 1, kWorkstation, kX86, false, 1, "WNT_5.1", "Windows XP"},
    {"2000", 2, 5, 0, kWorkstation, kX86, false, 1, "WNT_5.0", "Windows 2000"},
    {"NT 5.3", 2, 5, 3, kWorkstation, kX86, false, 1, "WNT_5.3", ""},
    {"NT 6.2 x86", 2, 6, 2, kWorkstation, kX86, false, 4, "WNT_6.2", ""},
    {"NT 6.2 x64", 2, 6, 2, kWorkstation, kAmd64, true, 6, "WNT_6.2", ""},
    {"NT 6.2 IA-64", 2, 6, 2, kWorkstation, kIa64, true, 5, "WNT_6.2", ""},
    {"NT 4.0", 2, 4, 0, kWorkstation, kX86, false, 4, "WNT_4.0", "Unknown"},
    {"NT 10 under WOW64 on IA-64", 2, 10, 0, kWorkstation, kIa64, true, 6, "WNT_10.0",
     "Unknown"},
    {"98", 1, 4, 10, 0, kX86, false, 0, "WIN_4.10", "Windows 98"},
    {"98 SE-like 4.11", 1, 4, 11, 0, kX86, false, 0, "WIN_4.11", "Windows 98"},
    {"ME", 1, 4, 90, 0, kX86, false, 0, "WIN_4.90", "Windows ME"},
    {"95", 1, 4, 0, 0, kX86, false, 0, "WIN_4.0", "Windows 95"},
    {"95 OSR", 1, 4, 3, 0, kX86, false, 0, "WIN_4.3", "Windows 95"},
    {"9x unknown minor", 1, 4, 5, 0, kX86, false, 0, "WIN_4.5", ""},
    {"Win32s-like platform 0", 0, 3, 10, 0, kX86, false, 0, "WIN_3.10", ""},
};

TEST(ClassifyOs, EveryReleaseOfTheTable) {
  for (const OsCase& c : kCases) {
    SCOPED_TRACE(c.label);
    const OsClassification os =
        ClassifyOs(c.platform, c.major, c.minor, c.productType, c.arch, c.wow64);
    EXPECT_EQ(os.osType, c.type);
    EXPECT_EQ(os.codeName, c.code);
    EXPECT_EQ(os.displayName, c.display);
  }
}

TEST(ClassifyOs, SevenNeverCarriesSixtyFourInItsName) {
  for (std::uint16_t arch : {kX86, kIa64, kAmd64}) {
    for (bool wow64 : {false, true}) {
      const OsClassification os = ClassifyOs(2, 6, 1, kWorkstation, arch, wow64);
      EXPECT_EQ(os.displayName, "Windows 7");
    }
  }
}

TEST(ClassifyOs, NtOutsideFiveAndSixNeverTakesTheNt5OrIa64Types) {
  for (std::uint32_t major : {3u, 4u, 7u, 10u}) {
    for (std::uint16_t arch : {kX86, kIa64, kAmd64}) {
      for (bool wow64 : {false, true}) {
        const TOsType type = ClassifyOs(2, major, 0, kWorkstation, arch, wow64).osType;
        EXPECT_EQ(type, wow64 ? otNt6X64 : otNt6X86) << major << " " << arch;
      }
    }
  }
}

}  // namespace
}  // namespace velmora
