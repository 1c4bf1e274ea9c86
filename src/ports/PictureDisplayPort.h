// The picture of a picture control as the window shows it: the control repaints itself with the
// given pixels (key-colour pixels are left to the window's region).
#pragma once

#include "ports/RegionPort.h"

namespace velmora {

class IPictureDisplay {
 public:
  virtual ~IPictureDisplay() = default;
  // picture stays valid and unchanged until the next call; width and height are the control's
  // size after the change (a picture control with AutoSize takes its picture's size).
  virtual void ShowPicture(const IPictureCanvas& picture, int width, int height) = 0;
};

}  // namespace velmora
