// The small adapters of the program's wiring against Wine: the skin's bitmaps and the icon in
// the executable's resources, the user's language, the process's own memory and CPUID.
#include <gtest/gtest.h>
#include <windows.h>

#include <cpuid.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "win32/Win32Locale.h"
#include "win32/Win32PictureDrawing.h"
#include "win32/Win32Pictures.h"
#include "win32/Win32ProcessMemory.h"
#include "win32/Win32Processor.h"

namespace velmora::win32 {
namespace {

// The program of the same build, beside this test program, opened for its resources only:
// Velmora.exe, or in the 64-bit build (which has no product) VelmoraDemo.exe, which carries
// the same resource script.
#ifdef _WIN64
constexpr char kResourceProgram[] = "VelmoraDemo.exe";
#else
constexpr char kResourceProgram[] = "Velmora.exe";
#endif

class VelmoraResources {
 public:
  VelmoraResources() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.erase(folder.find_last_of('\\') + 1);
    module_ = LoadLibraryExA((folder + kResourceProgram).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  ~VelmoraResources() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  HINSTANCE Module() const { return module_; }

 private:
  HMODULE module_ = nullptr;
};

TEST(Win32Pictures, LoadsTheSkinsBitmapsByNameInAnyLetterCase) {
  VelmoraResources velmora;
  ASSERT_NE(velmora.Module(), nullptr) << kResourceProgram << " must be built beside the tests";
  Win32Pictures pictures(velmora.Module());
  const TPicture background = pictures.LoadBitmap("BackgroundImage");
  EXPECT_EQ(background.Width(), 500);
  EXPECT_EQ(background.Height(), 400);
  const TPicture apply = pictures.LoadBitmap("chs_bt_APPLY_1");
  EXPECT_EQ(apply.Width(), 58);
  EXPECT_EQ(apply.Height(), 27);
  // The outline of every picture is pure blue; it must come through unchanged (no reduction
  // to the screen's colours).
  EXPECT_EQ(background.Pixel(0, 0), kKeyColour);
  const TPicture close = pictures.LoadBitmap("Bt_close_1");
  EXPECT_EQ(close.Width(), 29);
  EXPECT_EQ(close.Height(), 29);
}

BOOL CALLBACK CopyFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR first) {
  *reinterpret_cast<std::string*>(first) =
      IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name;
  return FALSE;
}

template <typename T>
T Field(const std::uint8_t* bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes + offset, sizeof(T));
  return value;
}

// Explorer, the taskbar and the windows show the first icon group. Each image is its own RT_ICON
// resource: up to 48 pixels a 32-bit DIB with alpha (colour and mask, hence twice the height)
// that Windows XP can draw, and the 256-pixel one PNG-compressed for Vista and later.
TEST(VelmoraIcon, FirstIconGroupHoldsTheSixSizes) {
  VelmoraResources velmora;
  ASSERT_NE(velmora.Module(), nullptr) << kResourceProgram << " must be built beside the tests";
  std::string first;
  EnumResourceNamesA(velmora.Module(), RT_GROUP_ICON, &CopyFirstName,
                     reinterpret_cast<LONG_PTR>(&first));
  ASSERT_FALSE(first.empty()) << "no icon group";
  HRSRC group = FindResourceA(velmora.Module(), first.c_str(), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* directory = static_cast<const std::uint8_t*>(
      LockResource(LoadResource(velmora.Module(), group)));
  ASSERT_NE(directory, nullptr);
  // GRPICONDIR: reserved, type 1 (icons), count; then 14-byte GRPICONDIRENTRYs.
  ASSERT_EQ(Field<WORD>(directory, 2), 1);
  const WORD count = Field<WORD>(directory, 4);
  ASSERT_EQ(SizeofResource(velmora.Module(), group), 6u + 14u * count);
  std::vector<int> sizes;
  for (WORD index = 0; index < count; ++index) {
    const std::uint8_t* entry = directory + 6 + 14 * index;
    const int width = entry[0] != 0 ? entry[0] : 256;  // 0 stands for 256
    const int height = entry[1] != 0 ? entry[1] : 256;
    SCOPED_TRACE(width);
    sizes.push_back(width);
    EXPECT_EQ(height, width);
    EXPECT_EQ(Field<WORD>(entry, 6), 32) << "bits per pixel";
    const WORD id = Field<WORD>(entry, 12);
    HRSRC image = FindResourceA(velmora.Module(), MAKEINTRESOURCEA(id), RT_ICON);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(SizeofResource(velmora.Module(), image), Field<DWORD>(entry, 8));
    const auto* bytes =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(velmora.Module(), image)));
    ASSERT_NE(bytes, nullptr);
    if (width == 256) {
      EXPECT_EQ(std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8), 0) << "PNG-compressed";
      continue;
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes, sizeof(header));
    EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header.biWidth, width);
    EXPECT_EQ(header.biHeight, 2 * width);
    EXPECT_EQ(header.biBitCount, 32);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    // The alpha channel is used: clear in the rounded-off corner (the first row stored is the
    // bottom one), opaque in the middle.
    const std::uint8_t* pixels = bytes + sizeof(header);
    EXPECT_EQ(pixels[3], 0);
    EXPECT_EQ(pixels[4 * (width / 2 * width + width / 2) + 3], 255);
  }
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 48, 256}));
}

TEST(Win32Pictures, AMissingBitmapIsAnError) {
  Win32Pictures pictures(GetModuleHandleA(nullptr));
  try {
    pictures.LoadBitmap("No_Such_Picture");
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("No_Such_Picture"), std::string::npos);
  }
}

TEST(Win32Locale, IsTheUsersDefaultLanguage) {
  Win32Locale locale;
  EXPECT_EQ(locale.GetUserDefaultLangID(), GetUserDefaultLangID());
  EXPECT_NE(locale.GetUserDefaultLangID(), 0);
}

ProcessAddress AddressOf(const void* pointer) {
  return static_cast<ProcessAddress>(reinterpret_cast<std::uintptr_t>(pointer));
}

TEST(Win32ProcessMemory, ReadsAndWritesCommittedMemoryInUnitsAndAnyLength) {
  Win32ProcessMemory memory;
  alignas(4) std::uint8_t bytes[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  std::uint32_t dword = 0;
  memory.Read(AddressOf(bytes + 4), &dword, 4);
  EXPECT_EQ(dword, 0x08070605u);
  std::uint16_t word = 0;
  memory.Read(AddressOf(bytes + 2), &word, 2);
  EXPECT_EQ(word, 0x0403u);
  std::uint8_t some[7] = {};
  memory.Read(AddressOf(bytes + 1), some, 7);  // odd address and length
  EXPECT_EQ(std::memcmp(some, bytes + 1, 7), 0);
  const std::uint8_t value = 0xA5;
  memory.Write(AddressOf(bytes + 9), &value, 1);
  EXPECT_EQ(bytes[9], 0xA5);
  const std::uint32_t written = 0xDEADBEEF;
  memory.Write(AddressOf(bytes + 12), &written, 4);
  std::uint32_t back = 0;
  std::memcpy(&back, bytes + 12, 4);
  EXPECT_EQ(back, 0xDEADBEEFu);
}

TEST(Win32ProcessMemory, AddressesNotMappedReadAsAbsentMemoryAndIgnoreWrites) {
  Win32ProcessMemory memory;
  std::uint32_t value = 0;
  memory.Read(0, &value, 4);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  // A reserved but uncommitted page, and a committed one that allows no access.
  void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_READWRITE);
  void* closed = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_NOACCESS);
  void* readOnly = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READONLY);
  ASSERT_NE(reserved, nullptr);
  ASSERT_NE(closed, nullptr);
  ASSERT_NE(readOnly, nullptr);
  for (void* page : {reserved, closed}) {
    value = 0;
    memory.Read(AddressOf(page), &value, 4);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    memory.Write(AddressOf(page), &value, 4);  // must not fault
  }
  const std::uint8_t byte = 0x5A;
  memory.Write(AddressOf(readOnly), &byte, 1);
  EXPECT_EQ(*static_cast<const std::uint8_t*>(readOnly), 0) << "read-only page stays as it was";
  // A read that runs off the end of a committed range into a reserved one is refused whole.
  auto* range =
      static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 8192, MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(VirtualAlloc(range, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
  range[4094] = 7;
  std::uint32_t across = 0;
  memory.Read(AddressOf(range + 4094), &across, 4);
  EXPECT_EQ(across, 0xFFFFFFFFu);
  for (void* page : {reserved, closed, readOnly, static_cast<void*>(range)})
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST(Win32Processor, CpuIdAsksTheLeafInEaxAndEcx) {
  Win32Processor processor;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid_count(0, 0, eax, ebx, ecx, edx);
  const CpuIdRegisters vendor = processor.CpuId(0);
  EXPECT_EQ(vendor.eax, eax);
  EXPECT_EQ(vendor.ebx, ebx);
  EXPECT_EQ(vendor.ecx, ecx);
  EXPECT_EQ(vendor.edx, edx);
  // Leaf 4 with ECX = 4 is the fifth cache description, a different one from ECX = 0.
  if (eax >= 4) {
    __cpuid_count(4, 4, eax, ebx, ecx, edx);
    const CpuIdRegisters cache = processor.CpuId(4);
    EXPECT_EQ(cache.eax, eax);
    EXPECT_EQ(cache.ebx, ebx);
  }
}

}  // namespace
}  // namespace velmora::win32
