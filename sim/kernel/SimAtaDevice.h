// One legacy ATA channel's command block (8 ports from the base: data, error/features, sector
// count, LBA low/mid/high, drive/head, status/command) with at most one device on it, either
// a disk or a packet (ATAPI) device, as master (drive/head bit 4 clear) or slave.
//
//   - An empty channel floats: every register reads 0xFF.
//   - With the other position selected, the status reads 0 and the signature 0.
//   - A disk is ready (status 0x50); IDENTIFY DEVICE (0xEC) stays busy for a while, then
//     offers 256 data words (DRQ) on the data port.
//   - A packet device shows status 0 and the signature 0xEB14 in LBA mid/high; it aborts
//     IDENTIFY DEVICE (error bit 2), answers IDENTIFY PACKET DEVICE (0xA1) with data, and takes
//     DEVICE RESET (8). A disk aborts DEVICE RESET and IDENTIFY PACKET DEVICE.
// Busy times follow the simulated clock. Faults: a device stuck busy, and a drive/head
// register that never takes the written value.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/kernel/SimClock.h"
#include "sim/kernel/SimDeviceBus.h"

namespace velmora::sim {

enum class SimAtaKind { kNone, kDisk, kPacket };

class SimAtaDevice : public SimPortDevice {
 public:
  SimAtaDevice(SimClock& clock, SimAtaKind kind, bool slave = false);

  // Words 0..255 of the identify data; word 0 is made to say what the device is.
  void SetIdentify(const std::array<std::uint16_t, 256>& words) { identify_ = words; }
  const std::array<std::uint16_t, 256>& Identify() const { return identify_; }
  void SetCommandMicroseconds(std::uint64_t microseconds) { commandMicroseconds_ = microseconds; }
  void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }
  void SetDriveHeadIgnored(bool ignored) { driveHeadIgnored_ = ignored; }

  std::uint32_t In(std::uint16_t offset, unsigned width) override;
  void Out(std::uint16_t offset, unsigned width, std::uint32_t value) override;

  std::uint8_t DriveHead() const { return driveHead_; }
  const std::vector<std::uint8_t>& Commands() const { return commands_; }
  std::uint32_t WordsRead() const { return wordsRead_; }

 private:
  bool Selected() const;
  bool Busy() const;
  std::uint8_t Status() const;
  std::uint16_t Signature() const;
  void Command(std::uint8_t command);
  void Abort();
  void StartData();

  SimClock& clock_;
  SimAtaKind kind_;
  bool slave_;
  std::array<std::uint16_t, 256> identify_{};
  std::uint64_t commandMicroseconds_ = 500;
  std::uint64_t busyUntil_ = 0;  // nanoseconds
  bool stuckBusy_ = false;
  bool driveHeadIgnored_ = false;
  std::uint8_t driveHead_ = 0;
  std::uint8_t error_ = 0;
  bool errorBit_ = false;
  bool dataReady_ = false;
  std::uint32_t dataIndex_ = 0;
  std::uint32_t wordsRead_ = 0;
  std::vector<std::uint8_t> commands_;
};

}  // namespace velmora::sim
