// IDENTIFY (PACKET) DEVICE through one port of an AHCI controller. The port must be idle:
// when its command engine or FIS receive engine runs, the storage driver owns the port and
// its command list, and the request is refused with STATUS_DEVICE_BUSY. Otherwise the port is
// pointed at a command list, received-FIS area, command table and data buffer in physically
// contiguous memory the driver allocates for this request alone (never memory the operating
// system owns), one command is issued, and afterwards the port's engines are stopped and its
// base registers put back as they were (when an engine does not stop, the memory stays the
// port's for good).
//
// Port registers, at ABAR + 0x100 + port * 0x80: CLB 0x00, CLBU 0x04, FB 0x08, FBU 0x0C,
// IS 0x10, CMD 0x18, TFD 0x20, SIG 0x24, SSTS 0x28, SERR 0x30, CI 0x38. HBA: PI at 0x0C.
#include "driver/RequestHandler.h"
#include "driver/RequestSupport.h"

namespace velmora::driver {

namespace {

using Ahci = protocol::AhciIdentifyRequest;

constexpr uint32_t kHbaPortsImplemented = 0x0C;
constexpr uint32_t kPortClb = 0x00, kPortClbu = 0x04, kPortFb = 0x08, kPortFbu = 0x0C;
constexpr uint32_t kPortIs = 0x10, kPortCmd = 0x18, kPortSig = 0x24, kPortSsts = 0x28;
constexpr uint32_t kPortSerr = 0x30, kPortCi = 0x38;

constexpr uint32_t kCmdStart = 1u << 0;
constexpr uint32_t kCmdFisReceiveEnable = 1u << 4;
constexpr uint32_t kCmdFisReceiveRunning = 1u << 14;
constexpr uint32_t kCmdListRunning = 1u << 15;
constexpr uint32_t kCmdEngines =
    kCmdStart | kCmdFisReceiveEnable | kCmdFisReceiveRunning | kCmdListRunning;
constexpr uint32_t kIsPioSetup = 1u << 1;
constexpr uint32_t kIsTaskFileError = 1u << 30;
constexpr uint32_t kDetectPresent = 3;  // SSTS.DET: device present, PHY communication up
constexpr uint32_t kPacketSignature = 0xEB140101;

// The scratch layout in the driver's own 4 KiB: command list (1 KiB aligned), received FIS
// (256-byte aligned), command table (128-byte aligned, PRDT at +0x80), data.
constexpr uint32_t kScratchSize = 0x1000;
constexpr uint32_t kCommandList = 0x000;
constexpr uint32_t kReceivedFis = 0x400;
constexpr uint32_t kCommandTable = 0x500;
constexpr uint32_t kPrdt = kCommandTable + 0x80;
constexpr uint32_t kData = 0x600;

constexpr uint32_t kCommandPolls = 30000;  // 100 us apart: 3000 ms
constexpr uint32_t kStopPolls = 5000;      // 100 us apart: 500 ms

class AhciPort {
 public:
  AhciPort(KernelServices& kernel, KernelAddress hba, uint32_t port)
      : kernel_(kernel), hba_(hba), port_(hba + 0x100 + port * 0x80) {}

  uint32_t Hba(uint32_t reg) { return kernel_.ReadRegister32(hba_ + reg); }
  uint32_t In(uint32_t reg) { return kernel_.ReadRegister32(port_ + reg); }
  void Out(uint32_t reg, uint32_t value) { kernel_.WriteRegister32(port_ + reg, value); }

  bool WaitCmdClear(uint32_t bit) {
    for (uint32_t poll = 0; poll < kStopPolls; ++poll) {
      if ((In(kPortCmd) & bit) == 0) return true;
      kernel_.StallMicroseconds(100);
    }
    return false;
  }

  void Save() {
    for (uint32_t i = 0; i < 4; ++i) saved_[i] = In(kPortClb + 4 * i);
  }
  void Restore() {
    for (uint32_t i = 0; i < 4; ++i) Out(kPortClb + 4 * i, saved_[i]);
  }

  void Start(uint64_t scratch) {
    Out(kPortClb, static_cast<uint32_t>(scratch + kCommandList));
    Out(kPortClbu, static_cast<uint32_t>((scratch + kCommandList) >> 32));
    Out(kPortFb, static_cast<uint32_t>(scratch + kReceivedFis));
    Out(kPortFbu, static_cast<uint32_t>((scratch + kReceivedFis) >> 32));
    Out(kPortSerr, 0xFFFFFFFF);
    Out(kPortIs, 0xFFFFFFFF);
    Out(kPortCmd, In(kPortCmd) | kCmdFisReceiveEnable);
    Out(kPortCmd, In(kPortCmd) | kCmdStart);
  }

  // False when an engine is still running after its wait: the port may still fetch commands
  // from the scratch memory or post received FISes into it.
  bool Stop() {
    Out(kPortCmd, In(kPortCmd) & ~kCmdStart);
    if (!WaitCmdClear(kCmdListRunning)) return false;
    Out(kPortCmd, In(kPortCmd) & ~kCmdFisReceiveEnable);
    if (!WaitCmdClear(kCmdFisReceiveRunning)) return false;
    Out(kPortSerr, 0xFFFFFFFF);
    Out(kPortIs, 0xFFFFFFFF);
    return true;
  }

  // Issues slot 0 and waits for it to complete after a PIO set-up FIS.
  uint32_t Issue() {
    Out(kPortCi, 1);
    for (uint32_t poll = 0; poll < kCommandPolls; ++poll) {
      const uint32_t status = In(kPortIs);
      if ((status & kIsTaskFileError) != 0) return protocol::kStatusUnsuccessful;
      if ((In(kPortCi) & 1) == 0) {
        return (status & kIsPioSetup) != 0 ? protocol::kStatusSuccess
                                           : protocol::kStatusUnsuccessful;
      }
      kernel_.StallMicroseconds(100);
    }
    return protocol::kStatusDeviceNotReady;
  }

 private:
  KernelServices& kernel_;
  KernelAddress hba_;
  KernelAddress port_;
  uint32_t saved_[4] = {};
};

// Command header 0, the register FIS (host to device, command bit set) and one PRD entry for
// the 512 data bytes.
void BuildCommand(KernelServices& kernel, KernelAddress scratch, uint64_t physical,
                  uint8_t command) {
  for (uint32_t offset = 0; offset < kData + 512; offset += 4) {
    kernel.WriteRegister32(scratch + offset, 0);
  }
  const uint64_t table = physical + kCommandTable;
  const uint64_t data = physical + kData;
  kernel.WriteRegister32(scratch + kCommandList, 5u | (1u << 16));  // CFL 5 dwords, PRDTL 1
  kernel.WriteRegister32(scratch + kCommandList + 8, static_cast<uint32_t>(table));
  kernel.WriteRegister32(scratch + kCommandList + 12, static_cast<uint32_t>(table >> 32));
  kernel.WriteRegister32(scratch + kCommandTable, 0x27u | (0x80u << 8) | (uint32_t{command} << 16));
  kernel.WriteRegister32(scratch + kPrdt, static_cast<uint32_t>(data));
  kernel.WriteRegister32(scratch + kPrdt + 4, static_cast<uint32_t>(data >> 32));
  kernel.WriteRegister32(scratch + kPrdt + 12, 511);  // byte count - 1
}

}  // namespace

// The controller is named by its register address, which must be what the PCI function of an
// AHCI controller decodes: any other address could be RAM or another device's registers, and
// the request writes to it.
IoResult RequestHandler::AtaIdentifyAhci(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  const uint32_t port = record[offsetof(Ahci, port)];
  if (port > 31) return Failure(protocol::kStatusInvalidParameter);
  const uint32_t abar = Field32(record, offsetof(Ahci, hbaBase));
  if (!IsAhciBar(abar)) return Failure(protocol::kStatusAccessDenied);
  const uint32_t mapped = 0x100 + (port + 1) * 0x80;
  const KernelAddress hba = kernel_.MapIoSpace(abar, mapped);
  if (hba == 0) return Failure(protocol::kStatusInsufficientResources);

  AhciPort ahci(kernel_, hba, port);
  uint32_t status = protocol::kStatusSuccess;
  if ((ahci.Hba(kHbaPortsImplemented) & (1u << port)) == 0 ||
      (ahci.In(kPortSsts) & 0xF) != kDetectPresent) {
    status = protocol::kStatusDeviceNotConnected;
  } else if ((ahci.In(kPortCmd) & kCmdEngines) != 0) {
    status = protocol::kStatusDeviceBusy;
  }
  uint64_t physical = 0;
  const KernelAddress scratch =
      status == protocol::kStatusSuccess ? kernel_.AllocateContiguous(kScratchSize, &physical) : 0;
  if (status == protocol::kStatusSuccess && scratch == 0) {
    status = protocol::kStatusInsufficientResources;
  }
  if (scratch != 0) {
    const uint8_t command = ahci.In(kPortSig) == kPacketSignature ? 0xA1 : 0xEC;
    BuildCommand(kernel_, scratch, physical, command);
    ahci.Save();
    ahci.Start(physical);
    status = ahci.Issue();
    if (ahci.Stop()) {
      ahci.Restore();
      if (status == protocol::kStatusSuccess) {
        for (uint32_t offset = 0; offset < 512; offset += 4) {
          StoreU32(record + offsetof(Ahci, data) + offset,
                   kernel_.ReadRegister32(scratch + kData + offset));
        }
      }
      kernel_.FreeContiguous(scratch, kScratchSize);
    } else {
      // The port still runs on the scratch memory: freed, it would be handed to someone else
      // while the controller may still write into it. It stays allocated for good (4 KiB), and
      // the port's base registers stay pointed at it (they may only change while it is idle).
      status = protocol::kStatusIoDeviceError;
    }
  }
  kernel_.UnmapIoSpace(hba, mapped);
  if (status != protocol::kStatusSuccess) return Failure(status);
  return Success(sizeof(Ahci));
}

}  // namespace velmora::driver
