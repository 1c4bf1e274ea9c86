#include "win32/Win32Resources.h"

#include <windows.h>

namespace velmora::win32 {

static_assert(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) == win::kLangNeutral);

std::optional<std::vector<std::uint8_t>> Win32Resources::LoadResourceBytes(std::uint16_t type,
                                                                           std::uint16_t id,
                                                                           std::uint16_t language) {
  const HMODULE module = ::GetModuleHandleW(nullptr);
  const HRSRC found =
      ::FindResourceExW(module, MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(id), language);
  if (found == nullptr) return std::nullopt;
  const HGLOBAL loaded = ::LoadResource(module, found);
  if (loaded == nullptr) return std::nullopt;
  const auto* bytes = static_cast<const std::uint8_t*>(::LockResource(loaded));
  if (bytes == nullptr) return std::nullopt;
  // A resource of a loaded image lives as long as the module: nothing to free.
  return std::vector<std::uint8_t>(bytes, bytes + ::SizeofResource(module, found));
}

}  // namespace velmora::win32
