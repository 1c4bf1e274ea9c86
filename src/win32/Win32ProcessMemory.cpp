#include "win32/Win32ProcessMemory.h"

#include <windows.h>

#include <cstring>

namespace velmora::win32 {
namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kWritable =
    PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// True when every page of [address, address + size) is committed with one of the wanted
// protections and is no guard page.
bool PagesAllow(ProcessAddress address, std::uint32_t size, DWORD wanted) {
  if (address == 0 || size == 0) return false;
  const std::uint64_t end = std::uint64_t{address} + size;
  std::uint64_t cursor = address;
  while (cursor < end) {
    MEMORY_BASIC_INFORMATION region{};
    const auto* at = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(cursor));
    if (::VirtualQuery(at, &region, sizeof(region)) != sizeof(region)) return false;
    if (region.State != MEM_COMMIT || (region.Protect & wanted) == 0 ||
        (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) {
      return false;
    }
    cursor = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
  }
  return true;
}

template <typename T>
bool CopyAligned(std::uintptr_t from, std::uintptr_t to, std::uint32_t size) {
  if (size != sizeof(T) || from % sizeof(T) != 0 || to % sizeof(T) != 0) return false;
  *reinterpret_cast<volatile T*>(to) = *reinterpret_cast<const volatile T*>(from);
  return true;
}

// One access of the unit's width where the size and both addresses allow it, else a copy.
void CopyUnit(std::uintptr_t from, std::uintptr_t to, std::uint32_t size) {
  if (CopyAligned<std::uint8_t>(from, to, size) || CopyAligned<std::uint16_t>(from, to, size) ||
      CopyAligned<std::uint32_t>(from, to, size)) {
    return;
  }
  std::memcpy(reinterpret_cast<void*>(to), reinterpret_cast<const void*>(from), size);
}

}  // namespace

void Win32ProcessMemory::Read(ProcessAddress address, void* destination, std::uint32_t size) {
  if (!PagesAllow(address, size, kReadable)) {
    std::memset(destination, 0xFF, size);
    return;
  }
  CopyUnit(address, reinterpret_cast<std::uintptr_t>(destination), size);
}

void Win32ProcessMemory::Write(ProcessAddress address, const void* source, std::uint32_t size) {
  if (!PagesAllow(address, size, kWritable)) return;
  CopyUnit(reinterpret_cast<std::uintptr_t>(source), address, size);
}

}  // namespace velmora::win32
