#include "hw/DriverImageData.h"

#include "hw/DriverImages.h"

namespace velmora {

TDriverImageData::TDriverImageData(TOsType osType) {
  const DriverImage image = EmbeddedDriverImage(osType);
  ImageData = image.data;
  ImageSize = image.size;
}

}  // namespace velmora
