#include "win32/Win32Pictures.h"

#include <stdexcept>
#include <string>

#include "win32/Win32ImageButtonPorts.h"

namespace velmora::win32 {

// LR_CREATEDIBSECTION keeps the 24-bit pixels as they are stored: a device-dependent bitmap
// would be reduced to the screen's colour depth, and pure blue could stop being pure blue on
// a 16-bit screen.
TPicture Win32Pictures::LoadBitmap(std::string_view name) {
  const std::string resource(name);
  const HANDLE image =
      ::LoadImageA(module_, resource.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  if (image == nullptr) throw std::runtime_error("Resource " + resource + " not found");
  TPicture picture = PictureFromBitmap(static_cast<HBITMAP>(image));
  ::DeleteObject(image);
  if (picture.Empty()) throw std::runtime_error("Bitmap image is not valid: " + resource);
  return picture;
}

}  // namespace velmora::win32
