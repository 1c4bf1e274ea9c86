#include "sim/SimSystemInfo.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace velmora::sim {
namespace {

constexpr ModuleHandle kKernel32 = 0x7C800000;
constexpr Handle kCurrentProcessPseudoHandle = ~Handle{0};  // (HANDLE)-1, as Windows has it
// ERROR_NOT_FOUND, for a firmware table the provider does not hold; the core reads only the
// return value of such a failure.
constexpr std::uint32_t kErrorNotFound = 1168;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

void FillSystemInfo(std::uint16_t architecture, SystemInfoRecord& info) {
  info = SystemInfoRecord{};
  info.wProcessorArchitecture = architecture;
  info.dwPageSize = 4096;
  info.dwNumberOfProcessors = 2;
  info.dwAllocationGranularity = 65536;
}

}  // namespace

SimWindowsRelease Windows7X86() { return SimWindowsRelease{}; }

SimWindowsRelease Windows7X64() {
  SimWindowsRelease release;
  release.nativeArchitecture = 9;
  release.wow64 = true;
  return release;
}

SimWindowsRelease WindowsXpX86() {
  SimWindowsRelease release;
  release.major = 5;
  release.minor = 1;
  release.build = 2600;
  release.servicePackMajor = 3;
  release.kernel32Exports = {"GetNativeSystemInfo", "IsWow64Process", "GetSystemTimes"};
  return release;
}

// Windows XP Professional x64 Edition: NT 5.2 (the Server 2003 kernel) as a workstation; the
// 32-bit program runs under WOW64.
SimWindowsRelease WindowsXpX64() {
  SimWindowsRelease release = WindowsXpX86();
  release.minor = 2;
  release.build = 3790;
  release.servicePackMajor = 2;
  release.nativeArchitecture = 9;
  release.wow64 = true;
  release.kernel32Exports.insert("GetSystemFirmwareTable");
  return release;
}

SimWindowsRelease Windows98() {
  SimWindowsRelease release;
  release.platformId = 1;
  release.major = 4;
  release.minor = 10;
  release.build = 2222;
  release.productType = 0;
  release.servicePackMajor = 0;
  release.acceptsExtendedVersionInfo = false;
  release.kernel32Exports.clear();
  release.systemDirectory = "C:\\WINDOWS\\SYSTEM";
  release.windowsDirectory = "C:\\WINDOWS";
  return release;
}

ModuleHandle SimSystemInfo::GetModuleHandleA(const std::string& moduleName) {
  moduleQueries_.push_back(moduleName);
  const std::string name = Lower(moduleName);
  return name == "kernel32" || name == "kernel32.dll" ? kKernel32 : 0;
}

ProcAddress SimSystemInfo::AddressOf(const std::string& procName) const {
  if (release_.kernel32Exports.count(procName) == 0) return 0;
  // A stable fake address per name, so a call through the wrong address is caught.
  return kKernel32 + 0x1000 + std::hash<std::string>{}(procName) % 0x10000;
}

ProcAddress SimSystemInfo::GetProcAddress(ModuleHandle module, const std::string& procName) {
  return module == kKernel32 ? AddressOf(procName) : 0;
}

void SimSystemInfo::GetNativeSystemInfo(ProcAddress function, SystemInfoRecord& info) {
  if (function == 0 || function != AddressOf("GetNativeSystemInfo")) {
    throw std::logic_error("GetNativeSystemInfo called through a wrong address");
  }
  FillSystemInfo(release_.nativeArchitecture, info);
}

void SimSystemInfo::GetSystemInfo(SystemInfoRecord& info) {
  FillSystemInfo(release_.emulatedArchitecture, info);
}

bool SimSystemInfo::GetVersionExA(OsVersionInfoExA& info) {
  ++versionCalls_;
  constexpr std::uint32_t kShortRecordSize = 148;
  const bool sizeKnown = info.dwOSVersionInfoSize == kShortRecordSize ||
                         (info.dwOSVersionInfoSize == sizeof(OsVersionInfoExA) &&
                          release_.acceptsExtendedVersionInfo);
  if (!release_.versionQueryWorks || !sizeKnown) return false;
  info.dwMajorVersion = release_.major;
  info.dwMinorVersion = release_.minor;
  info.dwBuildNumber = release_.build;
  info.dwPlatformId = release_.platformId;
  std::memset(info.szCSDVersion, 0, sizeof(info.szCSDVersion));
  info.wServicePackMajor = release_.servicePackMajor;
  info.wProductType = release_.productType;
  return true;
}

Handle SimSystemInfo::GetCurrentProcess() { return kCurrentProcessPseudoHandle; }

bool SimSystemInfo::IsWow64Process(ProcAddress function, Handle process, std::int32_t* wow64) {
  if (function == 0 || function != AddressOf("IsWow64Process")) {
    throw std::logic_error("IsWow64Process called through a wrong address");
  }
  if (release_.isWow64ProcessFails || process != kCurrentProcessPseudoHandle) return false;
  *wow64 = release_.wow64 ? 1 : 0;
  return true;
}

bool SimSystemInfo::GetSystemTimes(ProcAddress function, SystemTimes& times) {
  if (function == 0 || function != AddressOf("GetSystemTimes")) {
    throw std::logic_error("GetSystemTimes called through a wrong address");
  }
  ++processorTimes.calls;
  if (processorTimes.fails) return false;
  times = processorTimes.Now();
  return true;
}

// The machine's provider answers as Windows took the tables at boot; 'FIRM' answers only on
// firmware that keeps its legacy copies (the machine refuses it otherwise). A null or short
// buffer receives nothing and learns the size.
std::uint32_t SimSystemInfo::GetSystemFirmwareTable(ProcAddress function, std::uint32_t provider,
                                                    std::uint32_t tableId, void* buffer,
                                                    std::uint32_t bufferSize) {
  if (function == 0 || function != AddressOf("GetSystemFirmwareTable")) {
    throw std::logic_error("GetSystemFirmwareTable called through a wrong address");
  }
  const std::optional<std::vector<std::uint8_t>> table =
      firmware_ != nullptr ? firmware_->FirmwareTable(provider, tableId) : std::nullopt;
  if (!table) {
    lastError_ = kErrorNotFound;
    return 0;
  }
  const auto size = static_cast<std::uint32_t>(table->size());
  if (buffer == nullptr || bufferSize < size) {
    lastError_ = win::kErrorInsufficientBuffer;
    return size;
  }
  std::memcpy(buffer, table->data(), size);
  return size;
}

int SimSystemInfo::GetSystemMetrics(int index) {
  return index == 87 ? release_.mediaCenterMetric : 0;
}

}  // namespace velmora::sim
