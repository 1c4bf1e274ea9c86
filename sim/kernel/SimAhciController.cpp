#include "sim/kernel/SimAhciController.h"

#include <algorithm>
#include <cstring>

namespace velmora::sim {
namespace {

constexpr std::uint32_t kClb = 0x00, kClbu = 0x04, kFb = 0x08, kFbu = 0x0C, kIs = 0x10;
constexpr std::uint32_t kCmd = 0x18, kTfd = 0x20, kSig = 0x24, kSsts = 0x28, kSerr = 0x30;
constexpr std::uint32_t kCi = 0x38;
constexpr std::uint32_t kSt = 1u << 0, kFre = 1u << 4, kFr = 1u << 14, kCr = 1u << 15;
constexpr std::uint32_t kPss = 1u << 1, kTfes = 1u << 30;

std::uint32_t Index(std::uint32_t reg) {
  return reg / 4;
}

}  // namespace

void SimAhciController::AttachDevice(std::uint32_t port, SimAtaKind kind) {
  Port& p = ports_.at(port);
  p.kind = kind;
  implemented_ |= 1u << port;
  p.regs[Index(kSsts)] = kind == SimAtaKind::kNone ? 0 : 0x123;  // Gen 2, DET 3: device present
  p.regs[Index(kSig)] = kind == SimAtaKind::kPacket ? 0xEB140101 : 0x00000101;
  p.regs[Index(kTfd)] = kind == SimAtaKind::kDisk ? 0x50 : 0;
  p.identify[0] = kind == SimAtaKind::kPacket ? 0x85C0 : 0x0040;
  for (std::size_t i = 1; i < p.identify.size(); ++i) {
    p.identify[i] = static_cast<std::uint16_t>(0x2000 + i);
  }
}

void SimAhciController::SetIdentify(std::uint32_t port,
                                    const std::array<std::uint16_t, 256>& words) {
  ports_.at(port).identify = words;
}

void SimAhciController::RunPortForOs(std::uint32_t port, std::uint64_t commandList,
                                     std::uint64_t receivedFis) {
  Port& p = ports_.at(port);
  p.regs[Index(kClb)] = static_cast<std::uint32_t>(commandList);
  p.regs[Index(kFb)] = static_cast<std::uint32_t>(receivedFis);
  p.regs[Index(kCmd)] = kSt | kFre | kFr | kCr;
}

std::uint32_t SimAhciController::PortRegister(std::uint32_t port, std::uint32_t reg) const {
  return ports_.at(port).regs[Index(reg)];
}

std::uint64_t SimAhciController::Join(std::uint32_t low, std::uint32_t high) const {
  return low | (static_cast<std::uint64_t>(high) << 32);
}

std::uint32_t SimAhciController::ReadRegister(std::uint64_t offset) const {
  if (offset < 0x100) {
    switch (offset) {
      case 0x00:
        return 0x4000001F;  // CAP: 32 ports supported, no 64-bit addressing
      case 0x04:
        return 0x80000000;  // GHC.AE
      case 0x0C:
        return implemented_;
      case 0x10:
        return 0x00010300;  // version 1.3
      default:
        return 0;
    }
  }
  const std::uint64_t port = (offset - 0x100) / 0x80;
  return ports_[port].regs[Index(static_cast<std::uint32_t>((offset - 0x100) % 0x80))];
}

void SimAhciController::WritePortRegister(Port& port, std::uint32_t reg, std::uint32_t value) {
  std::uint32_t& r = port.regs[Index(reg)];
  switch (reg) {
    case kIs:
    case kSerr:
      r &= ~value;  // write 1 to clear
      return;
    case kCmd: {
      std::uint32_t cmd = value & ~(kFr | kCr);
      if ((value & kSt) || (port.hung && (r & kCr))) cmd |= kCr;
      if (value & kFre) cmd |= kFr;
      if ((value & kSt) == 0) port.regs[Index(kCi)] = 0;  // stopping clears issued commands
      r = cmd;
      return;
    }
    case kCi:
      if ((port.regs[Index(kCmd)] & kSt) == 0) return;
      r |= value;
      if (value & 1) Execute(port);
      return;
    case kClb:
    case kClbu:
    case kFb:
    case kFbu:
      r = value;
      return;
    default:
      return;  // read-only or not modelled
  }
}

void SimAhciController::WriteRegister(std::uint64_t offset, std::uint32_t value) {
  writes_.push_back({offset, value});
  if (offset < 0x100) return;
  const std::uint64_t port = (offset - 0x100) / 0x80;
  WritePortRegister(ports_[port], static_cast<std::uint32_t>((offset - 0x100) % 0x80), value);
}

void SimAhciController::Execute(Port& port) {
  ++commandsExecuted_;
  std::uint32_t header[4];
  bus_.ReadPhysical(Join(port.regs[Index(kClb)], port.regs[Index(kClbu)]), header, sizeof header);
  const std::uint64_t table = Join(header[2], header[3]);
  std::uint8_t fis[4];
  bus_.ReadPhysical(table, fis, sizeof fis);
  const std::uint8_t command = fis[2];
  const bool packet = port.kind == SimAtaKind::kPacket;
  const bool accepted = fis[0] == 0x27 && (fis[1] & 0x80) != 0 &&
                        ((command == 0xEC && !packet) || (command == 0xA1 && packet)) &&
                        (header[0] >> 16) >= 1;
  if (!accepted) {
    port.regs[Index(kTfd)] = 0x0451;  // error 0x04 (abort), status ERR | DRDY
    port.regs[Index(kIs)] |= kTfes;
    return;
  }
  std::uint32_t prd[4];
  bus_.ReadPhysical(table + 0x80, prd, sizeof prd);
  std::uint8_t data[512];
  std::memcpy(data, port.identify.data(), sizeof data);
  const std::uint32_t count = std::min<std::uint32_t>((prd[3] & 0x3FFFFF) + 1, sizeof data);
  bus_.WritePhysical(Join(prd[0], prd[1]), data, count);
  if (port.regs[Index(kCmd)] & kFre) {
    const std::uint8_t pioSetup[20] = {0x5F, 0x20, 0x58};
    bus_.WritePhysical(Join(port.regs[Index(kFb)], port.regs[Index(kFbu)]) + 0x20, pioSetup,
                       sizeof pioSetup);
  }
  port.regs[Index(kIs)] |= kPss;
  port.regs[Index(kTfd)] = 0x50;
  port.regs[Index(kCi)] &= ~1u;
}

// Registers are double words; narrower or unaligned accesses work on the containing ones.
void SimAhciController::Read(std::uint64_t offset, std::uint8_t* destination, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint64_t at = offset + i;
    destination[i] =
        static_cast<std::uint8_t>(ReadRegister(at & ~std::uint64_t{3}) >> (8 * (at & 3)));
  }
}

void SimAhciController::Write(std::uint64_t offset, const std::uint8_t* source, std::size_t size) {
  if (size == 4 && (offset & 3) == 0) {
    std::uint32_t value;
    std::memcpy(&value, source, 4);
    WriteRegister(offset, value);
    return;
  }
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint64_t at = offset + i;
    const std::uint64_t aligned = at & ~std::uint64_t{3};
    const std::uint32_t shift = 8 * static_cast<std::uint32_t>(at & 3);
    const std::uint32_t old = ReadRegister(aligned);
    WriteRegister(aligned, (old & ~(0xFFu << shift)) | (std::uint32_t{source[i]} << shift));
  }
}

}  // namespace velmora::sim
