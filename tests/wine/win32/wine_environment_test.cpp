// What the 32-bit Wine prefix really answers to the calls the program depends on. When one of
// these changes (another Wine release, a 64-bit prefix), the simulator's defaults and the OS
// detection's expectations have to be looked at again.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

// A name no other test process uses: each test runs in its own prefix, but the name also keeps
// the tests apart when the whole executable runs in one process.
std::string UniqueName(const char* purpose) {
  return std::string("VelmoraWineTest.") + purpose + "." + std::to_string(GetCurrentProcessId());
}

FARPROC Export(const char* module, const char* name) {
  HMODULE handle = GetModuleHandleA(module);
  if (handle == nullptr) handle = LoadLibraryA(module);
  return handle == nullptr ? nullptr : GetProcAddress(handle, name);
}

// FARPROC to the function's real type; void(*)() in between tells GCC that it is deliberate.
template <typename Function>
Function ExportAs(const char* module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(Export(module, name)));
}

TEST(WineVersion, ThirtyTwoBitPrefixIsWindows7ServicePack1) {
  OSVERSIONINFOEXA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)));
  EXPECT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  EXPECT_EQ(version.dwMajorVersion, 6u);
  EXPECT_EQ(version.dwMinorVersion, 1u);
  EXPECT_EQ(version.dwBuildNumber, 7601u);
  EXPECT_EQ(version.wServicePackMajor, 1);
  EXPECT_EQ(version.wProductType, VER_NT_WORKSTATION);
}

TEST(WineVersion, ShortStructureGetsTheBasicFieldsOnly) {
  OSVERSIONINFOEXA version{};
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  version.wProductType = 0x77;
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)));
  EXPECT_EQ(version.dwMajorVersion, 6u);
  EXPECT_EQ(version.wProductType, 0x77) << "the extended part must stay untouched";
}

TEST(WineVersion, UnknownStructureSizeFails) {
  OSVERSIONINFOEXA version{};
  version.dwOSVersionInfoSize = 0;
  SetLastError(0);
  EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(WineSystemInfo, LateBoundKernelFunctionsAreExported) {
  EXPECT_NE(Export("kernel32.dll", "GetNativeSystemInfo"), nullptr);
  EXPECT_NE(Export("kernel32.dll", "IsWow64Process"), nullptr);
  EXPECT_NE(Export("kernel32.dll", "GetSystemTimes"), nullptr);
  EXPECT_EQ(Export("kernel32.dll", "VelmoraNoSuchExport"), nullptr);
}

TEST(WineSystemInfo, NativeMachineOfThe32BitPrefixIsX86WithoutWow64) {
#ifdef _WIN64
  GTEST_SKIP() << "what the 32-bit program sees of a 32-bit prefix; this is the 64-bit build";
#endif
  using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto getNativeSystemInfo = ExportAs<GetNativeSystemInfoFn>("kernel32.dll", "GetNativeSystemInfo");
  auto isWow64Process = ExportAs<IsWow64ProcessFn>("kernel32.dll", "IsWow64Process");
  ASSERT_NE(getNativeSystemInfo, nullptr);
  ASSERT_NE(isWow64Process, nullptr);

  SYSTEM_INFO native{};
  getNativeSystemInfo(&native);
  EXPECT_EQ(native.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
  BOOL wow64 = TRUE;
  ASSERT_TRUE(isWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_FALSE(wow64);
}

TEST(WineMutex, CreatedMutexIsFoundByOpenMutexAndReportedAsExisting) {
  const std::string name = UniqueName("mutex");
  HANDLE first = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(first, nullptr);
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  HANDLE opened = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str());
  EXPECT_NE(opened, nullptr);

  HANDLE second = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(second, nullptr) << "a second CreateMutexA returns the existing mutex";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  CloseHandle(second);
  if (opened != nullptr) CloseHandle(opened);
  CloseHandle(first);
}

TEST(WineMutex, OpenMutexOfAnUnknownNameFailsWithFileNotFound) {
  SetLastError(0);
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, UniqueName("absent").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(WineMutex, MutexDisappearsWithItsLastHandle) {
  const std::string name = UniqueName("closed");
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(mutex, nullptr);
  CloseHandle(mutex);
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str()), nullptr);
}

TEST(WineMutex, NamesAreCaseSensitive) {
  const std::string name = UniqueName("Case");
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(mutex, nullptr);
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, upper.c_str()), nullptr);
  CloseHandle(mutex);
}

// The framework's application window is a hidden top-level window; a second start must find it
// by class and title even though it is never shown, and the posted request must arrive with
// the exact message number and zero parameters.
class WineHiddenWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClass;
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    window_ = CreateWindowExA(0, kClass, title_.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_ != nullptr) DestroyWindow(window_);
    UnregisterClassA(kClass, GetModuleHandleA(nullptr));
  }

  static constexpr char kClass[] = "VelmoraTestApplication";
  const std::string title_ = UniqueName("title");
  HWND window_ = nullptr;
};

TEST_F(WineHiddenWindow, FindWindowFindsTheHiddenWindowByClassAndTitle) {
  EXPECT_FALSE(IsWindowVisible(window_));
  EXPECT_EQ(FindWindowA(kClass, title_.c_str()), window_);
  EXPECT_EQ(FindWindowA(kClass, (title_ + "x").c_str()), nullptr);
  EXPECT_EQ(FindWindowA("VelmoraOtherClass", title_.c_str()), nullptr);
}

TEST_F(WineHiddenWindow, PostedRequestArrivesWithZeroParameters) {
  ASSERT_TRUE(PostMessageA(FindWindowA(kClass, title_.c_str()), 0x819F, 0, 0));
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, window_, 0x819E, 0x819F, PM_REMOVE));
  EXPECT_EQ(message.message, 0x819Fu);
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(message.lParam, 0);
}

}  // namespace
