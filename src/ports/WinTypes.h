// Plain-number stand-ins for the Windows types and constants that the portable core passes
// through its ports. The core never includes <windows.h>; the values are the documented ones,
// so a test can check the exact arguments of every call.
#pragma once

#include <cstdint>

namespace velmora {

using Handle = std::uintptr_t;        // HANDLE
using WindowHandle = std::uintptr_t;  // HWND
using ModuleHandle = std::uintptr_t;  // HMODULE
using ProcAddress = std::uintptr_t;   // FARPROC, 0 when the export is missing

inline constexpr Handle kNullHandle = 0;
inline constexpr Handle kInvalidHandleValue = ~Handle{0};  // INVALID_HANDLE_VALUE

// GUID, byte for byte (16 bytes).
struct Guid {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::uint8_t Data4[8] = {};
  friend bool operator==(const Guid&, const Guid&) = default;
};
static_assert(sizeof(Guid) == 16);

namespace win {
// Access rights and file creation (winnt.h / winbase.h).
inline constexpr std::uint32_t kGenericRead = 0x80000000;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
inline constexpr std::uint32_t kFileAllAccess = 0x001F01FF;
inline constexpr std::uint32_t kFileShareRead = 0x00000001;
inline constexpr std::uint32_t kFileShareWrite = 0x00000002;
inline constexpr std::uint32_t kCreateNew = 1;
inline constexpr std::uint32_t kCreateAlways = 2;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kFileAttributeNormal = 0x00000080;
inline constexpr std::uint32_t kFileFlagWriteThrough = 0x80000000;
inline constexpr std::uint32_t kInvalidFileSize = 0xFFFFFFFF;

inline constexpr std::uint32_t kFileShareDelete = 0x00000004;
inline constexpr std::uint32_t kFileFlagDeleteOnClose = 0x04000000;

// Service control manager (winsvc.h).
inline constexpr std::uint32_t kScManagerAllAccess = 0x000F003F;
inline constexpr std::uint32_t kServiceAllAccess = 0x000F01FF;
inline constexpr std::uint32_t kServiceKernelDriver = 0x00000001;
inline constexpr std::uint32_t kServiceDemandStart = 0x00000003;
inline constexpr std::uint32_t kServiceErrorNormal = 0x00000001;
inline constexpr std::uint32_t kServiceControlStop = 0x00000001;
inline constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
inline constexpr std::uint32_t kErrorServiceExists = 1073;
// StartService of a kernel driver whose image Windows refuses.
inline constexpr std::uint32_t kErrorInvalidImageHash = 577;
inline constexpr std::uint32_t kErrorDriverBlocked = 1275;

// Message boxes (winuser.h).
inline constexpr std::uint32_t kMbOk = 0x00000000;
inline constexpr std::uint32_t kMbIconError = 0x00000010;
inline constexpr std::uint32_t kMbIconInformation = 0x00000040;
inline constexpr std::uint32_t kMbSystemModal = 0x00001000;
inline constexpr std::uint32_t kMbTaskModal = 0x00002000;

// Synchronisation objects.
inline constexpr std::uint32_t kMutexAllAccess = 0x001F0001;

// AllowSetForegroundWindow: every process may take the foreground (ASFW_ANY).
inline constexpr std::uint32_t kAsfwAny = 0xFFFFFFFF;

// Last-error codes the core looks at.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;

// GetVersionEx platform ids and product types.
inline constexpr std::uint32_t kVerPlatformWin32Windows = 1;
inline constexpr std::uint32_t kVerPlatformWin32Nt = 2;
inline constexpr std::uint8_t kVerNtWorkstation = 1;
inline constexpr std::uint8_t kVerNtDomainController = 2;
inline constexpr std::uint8_t kVerNtServer = 3;

// SYSTEM_INFO processor architectures.
inline constexpr std::uint16_t kProcessorArchitectureIntel = 0;
inline constexpr std::uint16_t kProcessorArchitectureIa64 = 6;
inline constexpr std::uint16_t kProcessorArchitectureAmd64 = 9;

// GetSystemMetrics.
inline constexpr int kSmMediaCenter = 87;

// GetSystemFirmwareTable: the providers (their signature as a multi-character constant), and
// the last error when the buffer is too small for the table.
inline constexpr std::uint32_t kFirmwareProviderAcpi = 0x41435049;       // 'ACPI'
inline constexpr std::uint32_t kFirmwareProviderRawSmbios = 0x52534D42;  // 'RSMB'
inline constexpr std::uint32_t kFirmwareProviderRaw = 0x4649524D;        // 'FIRM'
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
}  // namespace win

}  // namespace velmora
