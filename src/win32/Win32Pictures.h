// The skin's bitmaps: BITMAP resources of the executable, loaded by name. Resource names are
// stored in upper case by the resource compiler and FindResource compares them without regard
// to letter case, so "chs_bt_apply_1" finds "CHS_Bt_apply_1".
#pragma once

#include <windows.h>

#include "app/MainWindowView.h"

namespace velmora::win32 {

class Win32Pictures : public IPictures {
 public:
  explicit Win32Pictures(HINSTANCE module) : module_(module) {}
  // Throws std::runtime_error when the executable has no bitmap of that name or it cannot be
  // read.
  TPicture LoadBitmap(std::string_view name) override;

 private:
  HINSTANCE module_;
};

}  // namespace velmora::win32
