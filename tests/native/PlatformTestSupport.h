// The platform object built as start-up builds it, on a simulated board whose description a
// test adjusts first: configuration, driver client, processor identification, then TZlkSpec.
#pragma once

#include <memory>
#include <string>

#include "HardwareTestSupport.h"
#include "power/Cpu.h"
#include "power/ZlkSpec.h"
#include "sim/board/SimBoard.h"

namespace velmora::platformtest {

// A PCI function with a subsystem vendor, for boards built in tests.
inline sim::PciFunctionDescription Function(std::uint8_t bus, std::uint8_t device,
                                            std::uint8_t function, std::uint16_t subsystemVendor,
                                            std::uint8_t headerType = 0) {
  sim::PciFunctionDescription d;
  d.location = sim::PciLocation{bus, device, function};
  d.vendorId = 0x8086;
  d.deviceId = 0x1000;
  d.subsystemVendorId = subsystemVendor;
  d.headerType = headerType;
  return d;
}

class PlatformRig {
 public:
  explicit PlatformRig(const sim::BoardDescription& description,
                       const std::string& ini = "DetectPCIEBase=0\r\n",
                       sim::SimWindowsRelease release = sim::Windows7X86())
      : board(description),
        rig(board, std::move(release), ini),
        readWrite(rig.Connect()),
        cpu(readWrite) {}

  TZlkSpec& Build() {
    spec = std::make_unique<TZlkSpec>(readWrite, rig.Config(), cpu, rig.codePage);
    return *spec;
  }
  std::uint32_t QvzxAddress() const {
    for (const sim::PlacedTable& table : board.AcpiTables()) {
      if (table.signature == "QVZX") return static_cast<std::uint32_t>(table.address);
    }
    return kNoAddress;
  }

  sim::SimBoard board;
  hwtest::HardwareRig rig;
  TReadWrite& readWrite;
  TCpu cpu;
  std::unique_ptr<TZlkSpec> spec;
};

}  // namespace velmora::platformtest
