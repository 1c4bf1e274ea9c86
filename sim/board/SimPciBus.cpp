#include "sim/board/SimPciBus.h"

namespace velmora::sim {
namespace {

constexpr std::uint32_t kLatchMask = 0x8FFFFFFCu;  // enable, extended register, bus..register

void Put16(std::vector<std::uint8_t>& space, std::size_t offset, std::uint16_t value) {
  space[offset] = static_cast<std::uint8_t>(value);
  space[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

// The ECAM window: one 4 KiB configuration space per function, addressed by the offset.
class EcamWindow : public PhysicalWindow {
 public:
  explicit EcamWindow(SimPciBus& bus) : bus_(bus) {}
  void Read(std::uint64_t offset, std::uint8_t* destination, std::size_t size) override {
    for (std::size_t i = 0; i < size; ++i) {
      const std::uint64_t at = offset + i;
      destination[i] = static_cast<std::uint8_t>(bus_.ReadConfig(Locate(at), Register(at), 1));
    }
  }
  void Write(std::uint64_t offset, const std::uint8_t* source, std::size_t size) override {
    for (std::size_t i = 0; i < size; ++i) {
      const std::uint64_t at = offset + i;
      bus_.WriteConfig(Locate(at), Register(at), 1, source[i]);
    }
  }

 private:
  static PciLocation Locate(std::uint64_t offset) {
    return PciLocation{static_cast<std::uint8_t>(offset >> 20),
                       static_cast<std::uint8_t>((offset >> 15) & 0x1F),
                       static_cast<std::uint8_t>((offset >> 12) & 0x7)};
  }
  static std::uint16_t Register(std::uint64_t offset) {
    return static_cast<std::uint16_t>(offset & 0xFFF);
  }
  SimPciBus& bus_;
};

}  // namespace

std::uint32_t SimPciBus::LocationKey(const PciLocation& location) {
  return (static_cast<std::uint32_t>(location.bus) << 8) |
         (static_cast<std::uint32_t>(location.device) << 3) | location.function;
}

bool SimPciBus::AddFunction(const PciFunctionDescription& d) {
  if (d.location.device > 31 || d.location.function > 7) return false;
  Space space(d.extendedSpace ? 4096 : 256, 0);
  Put16(space, 0x00, d.vendorId);
  Put16(space, 0x02, d.deviceId);
  space[0x08] = d.revision;
  space[0x09] = static_cast<std::uint8_t>(d.classCode);
  space[0x0A] = static_cast<std::uint8_t>(d.classCode >> 8);
  space[0x0B] = static_cast<std::uint8_t>(d.classCode >> 16);
  space[0x0E] = d.headerType;
  Put16(space, 0x2C, d.subsystemVendorId);
  Put16(space, 0x2E, d.subsystemId);
  functions_[LocationKey(d.location)] = std::move(space);
  return true;
}

bool SimPciBus::HasFunction(const PciLocation& location) const {
  return Find(location) != nullptr;
}

const SimPciBus::Space* SimPciBus::Find(const PciLocation& location) const {
  if (location.device > 31 || location.function > 7) return nullptr;
  const auto found = functions_.find(LocationKey(location));
  return found == functions_.end() ? nullptr : &found->second;
}

std::uint8_t SimPciBus::ReadByte(const PciLocation& location, std::uint32_t reg) const {
  const Space* space = Find(location);
  if (space == nullptr || reg >= space->size()) return 0xFF;
  return (*space)[reg];
}

void SimPciBus::WriteByte(const PciLocation& location, std::uint32_t reg, std::uint8_t value) {
  const Space* found = Find(location);
  if (found == nullptr || reg >= found->size()) return;
  functions_[LocationKey(location)][reg] = value;
}

std::uint32_t SimPciBus::ReadConfig(const PciLocation& location, std::uint16_t reg,
                                    unsigned width) const {
  std::uint32_t value = 0;
  for (unsigned i = 0; i < width && i < 4; ++i) {
    value |= static_cast<std::uint32_t>(ReadByte(location, (reg + i) & 0xFFFu)) << (8 * i);
  }
  return value;
}

void SimPciBus::WriteConfig(const PciLocation& location, std::uint16_t reg, unsigned width,
                            std::uint32_t value) {
  for (unsigned i = 0; i < width && i < 4; ++i) {
    WriteByte(location, (reg + i) & 0xFFFu, static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

PciLocation SimPciBus::LatchedLocation() const {
  return PciLocation{static_cast<std::uint8_t>(latch_ >> 16),
                     static_cast<std::uint8_t>((latch_ >> 11) & 0x1F),
                     static_cast<std::uint8_t>((latch_ >> 8) & 0x7)};
}

std::uint16_t SimPciBus::LatchedRegister() const {
  return static_cast<std::uint16_t>((((latch_ >> 24) & 0xF) << 8) | (latch_ & 0xFC));
}

bool SimPciBus::PortIn(std::uint16_t port, unsigned width, std::uint32_t& value) const {
  const std::uint32_t allOnes = width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
  if (port == kAddressPort && width == 4) {
    value = latch_;
    return true;
  }
  if (port < kDataPort || port > kDataPort + 3) return false;
  value = allOnes;
  if ((latch_ & 0x80000000u) == 0) return true;
  const unsigned lane = port - kDataPort;
  const unsigned inside = width < 4 - lane ? width : 4 - lane;  // bytes up to port 0xCFF
  const std::uint32_t data =
      ReadConfig(LatchedLocation(), static_cast<std::uint16_t>(LatchedRegister() + lane), inside);
  const std::uint32_t insideMask = inside >= 4 ? 0xFFFFFFFFu : (1u << (8 * inside)) - 1;
  value = (allOnes & ~insideMask) | data;
  return true;
}

bool SimPciBus::PortOut(std::uint16_t port, unsigned width, std::uint32_t value) {
  if (port == kAddressPort && width == 4) {
    latch_ = value & kLatchMask;
    return true;
  }
  if (port < kDataPort || port > kDataPort + 3) return false;
  if ((latch_ & 0x80000000u) == 0) return true;
  const unsigned lane = port - kDataPort;
  const unsigned inside = width < 4 - lane ? width : 4 - lane;
  WriteConfig(LatchedLocation(), static_cast<std::uint16_t>(LatchedRegister() + lane), inside,
              value);
  return true;
}

std::shared_ptr<PhysicalWindow> SimPciBus::MakeEcamWindow() {
  return std::make_shared<EcamWindow>(*this);
}

}  // namespace velmora::sim
