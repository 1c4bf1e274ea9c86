// The application-wide objects, created once in a fixed order and released by ReleaseObjects in
// another fixed order. Each is held by one pointer, empty before creation and after release.
#pragma once

#include <memory>

#include "config/InitFile.h"
#include "hw/ReadWrite.h"
#include "power/AdvReg.h"
#include "power/Cfg.h"
#include "power/Cpu.h"
#include "power/CpuUsage.h"
#include "power/ImageControl.h"
#include "power/PowerMan.h"
#include "power/ZlkSpec.h"

namespace velmora {

struct ApplicationObjects {
  std::unique_ptr<TInitFile> InitFile;        // 1 hardware configuration
  std::unique_ptr<TReadWrite> ReadWrite;      // 2 driver client
  std::unique_ptr<TCpu> Cpu;                  // 3 processor identification
  std::unique_ptr<TZlkSpec> ZlkSpec;          // 4 platform capability object
  std::unique_ptr<TCfg> Cfg;                  // 5 product settings
  std::unique_ptr<TImageControl> ImageControl;  // 6 window region builder
  std::unique_ptr<TCpuUsage> CpuUsage;        // 7 processor load sampler
  std::unique_ptr<TAdvReg> AdvReg;            // 8 registry access (FormShow)
  std::unique_ptr<TPowerMan> PowerMan;        // 9 power scheme manager (FormShow)
};

}  // namespace velmora
