#include "sim/kernel/SimAtaDevice.h"

namespace velmora::sim {
namespace {

constexpr std::uint8_t kBusy = 0x80;
constexpr std::uint8_t kReady = 0x40;
constexpr std::uint8_t kSeekComplete = 0x10;
constexpr std::uint8_t kDataRequest = 0x08;
constexpr std::uint8_t kError = 0x01;
constexpr std::uint8_t kAbort = 0x04;

}  // namespace

SimAtaDevice::SimAtaDevice(SimClock& clock, SimAtaKind kind, bool slave)
    : clock_(clock), kind_(kind), slave_(slave) {
  // Word 0: bit 15 clear for an ATA device; 0x85C0 is a removable ATAPI CD device.
  identify_[0] = kind == SimAtaKind::kPacket ? 0x85C0 : 0x0040;
  for (std::size_t i = 1; i < identify_.size(); ++i) {
    identify_[i] = static_cast<std::uint16_t>(0x1000 + i);
  }
}

bool SimAtaDevice::Selected() const {
  return kind_ != SimAtaKind::kNone && ((driveHead_ & 0x10) != 0) == slave_;
}

bool SimAtaDevice::Busy() const {
  return stuckBusy_ || clock_.Nanoseconds() < busyUntil_;
}

std::uint16_t SimAtaDevice::Signature() const {
  return kind_ == SimAtaKind::kPacket ? 0xEB14 : 0x0000;
}

std::uint8_t SimAtaDevice::Status() const {
  if (Busy()) return kBusy;
  std::uint8_t status = kind_ == SimAtaKind::kDisk ? kReady | kSeekComplete : 0;
  if (dataReady_) status |= kDataRequest;
  if (errorBit_) status |= kError;
  return status;
}

std::uint32_t SimAtaDevice::In(std::uint16_t offset, unsigned width) {
  if (kind_ == SimAtaKind::kNone) return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
  if (offset == 6) return driveHead_;
  if (!Selected()) return 0;
  switch (offset) {
    case 0: {
      if (!dataReady_ || Busy()) return 0;
      const std::uint16_t word = identify_[dataIndex_++];
      ++wordsRead_;
      if (dataIndex_ == identify_.size()) dataReady_ = false;
      return width == 1 ? word & 0xFFu : word;
    }
    case 1:
      return error_;
    case 4:
      return Signature() & 0xFF;
    case 5:
      return Signature() >> 8;
    case 7:
      return Status();
    default:
      return 0;
  }
}

void SimAtaDevice::Out(std::uint16_t offset, unsigned, std::uint32_t value) {
  if (kind_ == SimAtaKind::kNone) return;
  const auto byte = static_cast<std::uint8_t>(value);
  if (offset == 6) {
    if (!driveHeadIgnored_) driveHead_ = byte;
    return;
  }
  if (offset == 7 && Selected()) Command(byte);
}

void SimAtaDevice::Abort() {
  error_ = kAbort;
  errorBit_ = true;
  dataReady_ = false;
}

void SimAtaDevice::StartData() {
  error_ = 0;
  errorBit_ = false;
  dataReady_ = true;
  dataIndex_ = 0;
}

void SimAtaDevice::Command(std::uint8_t command) {
  commands_.push_back(command);
  busyUntil_ = clock_.Nanoseconds() + commandMicroseconds_ * 1000;
  const bool packet = kind_ == SimAtaKind::kPacket;
  if (command == 0xEC) {
    packet ? Abort() : StartData();
  } else if (command == 0xA1) {
    packet ? StartData() : Abort();
  } else if (command == 0x08 && packet) {
    error_ = 0;
    errorBit_ = false;
    dataReady_ = false;
  } else {
    Abort();
  }
}

}  // namespace velmora::sim
