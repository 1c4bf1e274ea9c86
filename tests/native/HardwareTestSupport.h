// A window on every device request the driver client sends.
#pragma once

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "sim/ForwardingFiles.h"
#include "sim/SimStartup.h"

namespace velmora::hwtest {

namespace dp = driver_protocol;

// Forwards to the simulated Windows and records the requests; chosen codes can be refused.
class RecordingIo : public sim::ForwardingFiles {
 public:
  explicit RecordingIo(IFiles& inner) : ForwardingFiles(&inner) {}

  struct MapRequest {
    std::uint32_t physical;
    std::uint32_t length;
  };
  std::vector<MapRequest> maps;
  std::vector<std::uint32_t> codes;
  std::set<std::uint32_t> refused;
  int refuseNextMaps = 0;  // the next this many map requests fail, later ones pass

  bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                       void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    codes.push_back(code);
    if (code == dp::IOCTL_MAP_PHYSICAL_MEMORY && inSize >= 4) {
      std::uint32_t words[3] = {0, 0, 0};
      std::memcpy(words, in, inSize >= 12 ? 12 : 4);
      maps.push_back({words[0], inSize >= 12 ? words[2] : 0});
    }
    if (refused.count(code) != 0) return false;
    if (code == dp::IOCTL_MAP_PHYSICAL_MEMORY && refuseNextMaps > 0) {
      --refuseNextMaps;
      return false;
    }
    return ForwardingFiles::DeviceIoControl(device, code, in, inSize, out, outSize, returned);
  }
  std::size_t Count(std::uint32_t code) const {
    std::size_t n = 0;
    for (std::uint32_t c : codes) n += c == code;
    return n;
  }
};

// A driver client on a simulated Windows over the given board, the debug log on, every device
// request recorded.
class HardwareRig : public sim::SimStartup {
 public:
  HardwareRig(sim::SimMachine& board, sim::SimWindowsRelease release, const std::string& ini)
      : SimStartup(board, std::move(release), "[Config]\r\nRwDebug=1\r\n" + ini, &io),
        io(world.io) {
    Configure();
  }

  TReadWrite& Connect() { return ConnectDriver(); }

  RecordingIo io;
};

}  // namespace velmora::hwtest
