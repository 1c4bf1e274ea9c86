// An AHCI controller's register block (ABAR) with up to 32 ports, each with at most one
// device (disk or packet device). The command engine runs when software sets PxCMD.ST (CR
// follows at once), the FIS receive engine when it sets FRE (FR follows). Issuing command
// slot 0 while the engine runs executes it at once by DMA through the bus: the command header
// at PxCLB, the command FIS in its table, and for IDENTIFY (PACKET) DEVICE the 512 data bytes
// to the first PRD entry's buffer, a PIO set-up FIS into the received-FIS area (when FRE is
// set) and PxIS.PSS; a command the device rejects sets PxIS.TFES instead. Every register
// write is recorded.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/board/SimMachine.h"
#include "sim/board/SimPhysicalMemory.h"
#include "sim/kernel/SimAtaDevice.h"

namespace velmora::sim {

inline constexpr std::uint64_t kAhciAbarSize = 0x1100;

class SimAhciController : public PhysicalWindow {
 public:
  // `bus` is what the controller's DMA reaches (the board with its devices).
  explicit SimAhciController(SimMachine& bus) : bus_(bus) {}

  void AttachDevice(std::uint32_t port, SimAtaKind kind);
  void SetIdentify(std::uint32_t port, const std::array<std::uint16_t, 256>& words);
  // The storage driver owns the port: its command list at `commandList`, engines running.
  void RunPortForOs(std::uint32_t port, std::uint64_t commandList, std::uint64_t receivedFis);
  // Fault: the port's command engine never stops (PxCMD.CR stays set once ST was set, whatever
  // software writes), as a hung controller's does; it may still fetch from its command list.
  void HangCommandEngine(std::uint32_t port) { ports_.at(port).hung = true; }

  void Read(std::uint64_t offset, std::uint8_t* destination, std::size_t size) override;
  void Write(std::uint64_t offset, const std::uint8_t* source, std::size_t size) override;

  std::uint32_t PortRegister(std::uint32_t port, std::uint32_t reg) const;
  struct RegisterWrite {
    std::uint64_t offset;
    std::uint32_t value;
  };
  const std::vector<RegisterWrite>& Writes() const { return writes_; }
  int CommandsExecuted() const { return commandsExecuted_; }

 private:
  struct Port {
    SimAtaKind kind = SimAtaKind::kNone;
    std::array<std::uint32_t, 32> regs{};  // by register offset / 4
    std::array<std::uint16_t, 256> identify{};
    bool hung = false;
  };
  std::uint32_t ReadRegister(std::uint64_t offset) const;
  void WriteRegister(std::uint64_t offset, std::uint32_t value);
  void WritePortRegister(Port& port, std::uint32_t reg, std::uint32_t value);
  void Execute(Port& port);
  std::uint64_t Join(std::uint32_t low, std::uint32_t high) const;

  SimMachine& bus_;
  std::array<Port, 32> ports_{};
  std::uint32_t implemented_ = 0;
  std::vector<RegisterWrite> writes_;
  int commandsExecuted_ = 0;
};

}  // namespace velmora::sim
