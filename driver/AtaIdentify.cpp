// IDENTIFY (PACKET) DEVICE through a legacy ATA command block, by programmed I/O:
//   base + 0 data (16-bit), + 1 error / features, + 4 LBA mid (signature low),
//   + 5 LBA high (signature high), + 6 drive/head, + 7 status / command.
// A packet (ATAPI) device aborts IDENTIFY DEVICE and leaves the signature 0xEB14 in LBA
// mid/high; it then answers IDENTIFY PACKET DEVICE instead.
#include "driver/RequestHandler.h"
#include "driver/RequestSupport.h"

namespace velmora::driver {

namespace {

using Ata = protocol::AtaIdentifyRequest;

constexpr uint8_t kStatusBusy = 0x80;
constexpr uint8_t kStatusDataRequest = 0x08;
constexpr uint8_t kErrorAbort = 0x04;
constexpr uint8_t kCommandDeviceReset = 0x08;
constexpr uint8_t kCommandIdentifyDevice = 0xEC;
constexpr uint8_t kCommandIdentifyPacketDevice = 0xA1;
constexpr uint16_t kPacketSignature = 0xEB14;

constexpr uint32_t kSelectPolls = 0x1000;  // 10 us apart
constexpr uint32_t kReadyPolls = 0x8000;   // 100 us apart: 3.3 s

// One conversation with one command block.
class AtaChannel {
 public:
  AtaChannel(KernelServices& kernel, uint16_t base) : kernel_(kernel), base_(base) {}

  uint8_t In(uint16_t reg) {
    return static_cast<uint8_t>(kernel_.PortIn(base_ + reg, PortWidth::kByte));
  }
  void Out(uint16_t reg, uint8_t value) { kernel_.PortOut(base_ + reg, PortWidth::kByte, value); }
  void Stall(uint32_t microseconds) { kernel_.StallMicroseconds(microseconds); }

  uint16_t Signature() { return static_cast<uint16_t>((In(5) << 8) | In(4)); }

  // Polls the status register every 100 us until the bits in `mask` read as `wanted`.
  bool WaitStatus(uint8_t mask, uint8_t wanted) {
    for (uint32_t poll = 0; poll < kReadyPolls; ++poll) {
      if ((In(7) & mask) == wanted) return true;
      Stall(100);
    }
    return false;
  }
  bool WaitNotBusy() { return WaitStatus(kStatusBusy, 0); }

  uint32_t Select(uint8_t driveHead);
  uint32_t Identify(uint8_t command, uint8_t* data);

 private:
  KernelServices& kernel_;
  uint16_t base_;
};

// Selects the drive and finds out whether something answers there.
uint32_t AtaChannel::Select(uint8_t driveHead) {
  const uint8_t before = In(7);
  // Busy, but not the 0xFF of a floating bus with nothing on it.
  if (before >= 0x80 && before <= 0xFE) return protocol::kStatusDeviceBusy;
  Out(6, driveHead);
  Stall(10);
  Out(1, 0);
  Stall(10);
  uint8_t readBack = 0;
  if (driveHead != 0) {
    uint32_t poll = 0;
    for (; poll < kSelectPolls; ++poll) {
      Stall(10);
      readBack = In(6);
      if (readBack == driveHead) break;
    }
    if (poll == kSelectPolls) return protocol::kStatusDeviceNotConnected;
  }
  // A status that reads like the register just written is the bus echoing, not a device.
  const uint8_t status = In(7);
  if (status == 0xFF || status == readBack) return protocol::kStatusDeviceNotConnected;
  if (status == 0) {
    // A packet device may report an all-zero status until it is reset.
    Out(7, kCommandDeviceReset);
    Stall(100);
    WaitNotBusy();
    return Signature() == kPacketSignature ? protocol::kStatusSuccess
                                           : protocol::kStatusDeviceNotConnected;
  }
  return WaitNotBusy() ? protocol::kStatusSuccess : protocol::kStatusDeviceNotReady;
}

uint32_t AtaChannel::Identify(uint8_t command, uint8_t* data) {
  Out(7, command);
  Stall(100);
  if (!WaitNotBusy()) return protocol::kStatusDeviceNotReady;
  if ((In(1) & kErrorAbort) != 0 && Signature() == kPacketSignature) {
    return protocol::kStatusNotImplemented;
  }
  if (!WaitStatus(kStatusDataRequest, kStatusDataRequest)) return protocol::kStatusDeviceNotReady;
  for (uint32_t word = 0; word < 256; ++word) {
    StoreLow(data + 2 * word, kernel_.PortIn(base_, PortWidth::kWord), 2);
  }
  return protocol::kStatusSuccess;
}

}  // namespace

// The drive/head register is put back as it was, whatever the outcome: the disk driver that
// owns the channel expects its own selection.
IoResult RequestHandler::AtaIdentifyLegacy(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  AtaChannel channel(kernel_, LoadU16(record + offsetof(Ata, basePort)));
  const uint8_t driveHead = record[offsetof(Ata, driveHead)];
  const uint8_t saved = channel.In(6);
  uint32_t status = channel.Select(driveHead);
  if (status == protocol::kStatusSuccess) {
    status = channel.Identify(kCommandIdentifyDevice, record + offsetof(Ata, data));
    if (status == protocol::kStatusNotImplemented) {
      status = channel.Identify(kCommandIdentifyPacketDevice, record + offsetof(Ata, data));
    }
  }
  channel.Out(6, saved);
  if (status != protocol::kStatusSuccess) return Failure(status);
  return Success(sizeof(Ata));
}

}  // namespace velmora::driver
