// The driver images of the Windows build: the x86 and x64 kernel drivers are RCDATA resources
// of the executable (resources/DriverImages.rc). There is no IA-64 or Windows 9x driver in
// this build: those OS types get no image, so the installer writes no file and the device
// open fails with its message.
#include <windows.h>

#include "hw/DriverImages.h"

namespace velmora {
namespace {

DriverImage Resource(const char* name) {
  HMODULE module = ::GetModuleHandleA(nullptr);
  HRSRC found = ::FindResourceA(module, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (found == nullptr) return {};
  HGLOBAL loaded = ::LoadResource(module, found);
  const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (bytes == nullptr) return {};
  return {static_cast<const std::uint8_t*>(bytes), ::SizeofResource(module, found)};
}

}  // namespace

DriverImage EmbeddedDriverImage(TOsType osType) {
  switch (osType) {
    case otNt5X86:
    case otNt6X86:
      return Resource("ZLKVMDRV_X86");
    case otNt5X64:
    case otNt6X64:
      return Resource("ZLKVMDRV_X64");
    default:
      return {};
  }
}

}  // namespace velmora
