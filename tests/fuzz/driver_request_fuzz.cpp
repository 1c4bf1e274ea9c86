// The driver's request handler (driver/RequestHandler) on the simulated kernel over the default
// board with an AHCI controller at 0:31.2, an ACPI PM timer and two legacy ATA channels: any
// sequence of creates, device-control requests (the served codes, their unserved neighbours,
// other methods and device types, any 32-bit code), cleanups, closes and other requests, on up
// to four file objects, in two processes, with any input and output lengths and contents. The
// handler is called the way the I/O manager calls it (METHOD_BUFFERED: one system buffer of
// max(input, output) bytes, allocated to that size, the input copied in, the rest stale pool),
// and only with what the I/O manager can send: requests on a file object between its create and
// its close, and at the end of the input every open file object cleaned up and closed. (At most
// two AHCI identify requests are sent an input: see kMaxAhciRequests.) The boards are built once
// per process and put back as built before each input; kernel, devices and handler are new.
//
// Two such machines run every input in lock step. They differ only in what the system buffer
// holds past the input: 0xC5 in one, 0x3A in the other. A driver that answers only its caller's
// input and the bytes it wrote gives both callers the same answer; any returned byte it did not
// write, and any decision taken on bytes past the input, shows as a difference. After each
// request (abort, so that libFuzzer keeps the input):
//   - both machines completed it once, with the same status, count, returned bytes and the same
//     port accesses;
//   - the count of a request that did not fail is at most the output length;
//   - the lock is free, the IRQL back at passive level, no lock or IRQL misuse, no #GP, no
//     memory call outside the lock, no I/O-space mapping or contiguous memory left behind;
//   - no view of RAM the memory manager manages was mapped into a process, and nothing was
//     written to such RAM but the contiguous memory the driver allocated;
// and at the end of the input no view, process reference or driver record of a view is left.
// AddressSanitizer catches any access outside the system buffer.
//
// Input: byte 0 the machine (bits 0-1: the processor: Intel, AMD, an Intel guest without
// performance counters, an AMD guest without them; bit 2: 64-bit mode), then operations until
// the input ends (missing bytes read as 0):
//   op byte    bits 0-1 the file object; bits 2-4: 0-3 device control, 4 create, 5 cleanup,
//              6 close, 7 special (bits 5-7: 0 run in the second process, 1 back in the first,
//              2 a request of another major function, else nothing)
//   device control, after the op byte:
//     code     0x00-0x1F: function 0xA00 + n; 0x20-0x3F: the same with another transfer method
//              or device type; 0x40-0xFE: function 0x800 + n; 0xFF: the next 4 bytes
//     flags    bit 0: the input's first 4 bytes become the last address a map answered, plus
//              the signed byte that follows the flags
//     lengths  input and output, 16 bits each, taken modulo 0x241
//     input    as many bytes as the input length
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "driver/RequestHandler.h"
#include "hw/DriverProtocol.h"
#include "sim/board/SimBoard.h"
#include "sim/kernel/SimAddressSpace.h"
#include "sim/kernel/SimAhciController.h"
#include "sim/kernel/SimAtaDevice.h"
#include "sim/kernel/SimDeviceBus.h"
#include "sim/kernel/SimKernel.h"
#include "sim/kernel/SimPmTimer.h"

namespace {

namespace dp = velmora::driver_protocol;
namespace sim = velmora::sim;
using velmora::driver::IoRequest;
using velmora::driver::IoResult;

constexpr std::uint8_t kMarkers[2] = {0xC5, 0x3A};
constexpr std::uint32_t kLengthModulus = 0x241;  // past the largest record (0x208) and more
constexpr int kFileObjects = 4;
constexpr std::size_t kMaxOperations = 256;
// The AHCI identify request looks for the controller on every PCI bus first: 8192 configuration
// reads, some 3 ms a request on the two machines. Further ones in the same input are not sent;
// they would only repeat the scan.
constexpr int kMaxAhciRequests = 2;

// Where the plugged-in devices answer: the PM timer where the default board's FADT says, the
// two legacy channels, the AHCI registers in the PCI hole.
constexpr std::uint16_t kPmTimerPort = 0x808;
constexpr std::uint16_t kPrimaryChannel = 0x1F0;
constexpr std::uint16_t kSecondaryChannel = 0x170;
constexpr std::uint64_t kAbar = 0xF7F00000;

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "driver request fuzz: %s\n", what);
  __builtin_trap();
}

bool NtError(std::uint32_t status) { return (status >> 30) == 3; }

// VELMORA_FUZZ_VERBOSE=1 prints every request and its answer (for looking at one input).
bool Verbose() {
  static const bool verbose = [] {
    const char* value = std::getenv("VELMORA_FUZZ_VERBOSE");
    return value != nullptr && *value != '\0' && *value != '0';
  }();
  return verbose;
}

// The board as the kernel sees it, noting every physical write that reaches the board's memory
// (device windows on the bus answer before it) with the bytes it overwrote.
class WriteWatch : public sim::SimMachine {
 public:
  explicit WriteWatch(sim::SimMachine& inner) : inner_(inner) {}

  struct Write {
    std::uint64_t address;
    std::vector<std::uint8_t> before;
  };

  void ReadPhysical(std::uint64_t address, void* destination, std::size_t size) override {
    inner_.ReadPhysical(address, destination, size);
  }
  void WritePhysical(std::uint64_t address, const void* source, std::size_t size) override {
    Write write{address, std::vector<std::uint8_t>(size)};
    inner_.ReadPhysical(address, write.before.data(), size);
    writes_.push_back(std::move(write));
    inner_.WritePhysical(address, source, size);
  }
  std::uint32_t PortIn(std::uint16_t port, unsigned width) override {
    return inner_.PortIn(port, width);
  }
  void PortOut(std::uint16_t port, unsigned width, std::uint32_t value) override {
    inner_.PortOut(port, width, value);
  }
  velmora::CpuIdRegisters CpuId(std::uint32_t leaf) override { return inner_.CpuId(leaf); }
  const sim::FirmwareMemoryMap& MemoryMap() const override { return inner_.MemoryMap(); }

  // Writes since the last Undo, oldest first.
  const std::vector<Write>& Writes() const { return writes_; }
  // Puts back every byte written, last write first.
  void Undo() {
    for (auto write = writes_.rbegin(); write != writes_.rend(); ++write) {
      inner_.WritePhysical(write->address, write->before.data(), write->before.size());
    }
    writes_.clear();
  }

 private:
  sim::SimMachine& inner_;
  std::vector<Write> writes_;
};

// The default board with an AHCI controller at 0:31.2 (the LPC bridge at 0:31.0 makes device 31
// a multi-function device), its registers at kAbar (BAR5), as the driver looks for it.
const sim::BoardDescription& BoardWithAhci() {
  static const sim::BoardDescription board = [] {
    sim::BoardDescription description = sim::DefaultBoardDescription();
    sim::PciFunctionDescription sata;
    sata.location = sim::PciLocation{0, 31, 2};
    sata.deviceId = 0x1C02;
    sata.classCode = 0x010601;
    sata.subsystemVendorId = 0x7A5E;
    sata.subsystemId = 0x5001;
    description.pciFunctions.push_back(sata);
    return description;
  }();
  return board;
}

// A board, built once per process (building one costs more than most inputs), and put back as
// it was built before each input: the memory bytes written, the PCI functions' configuration
// spaces (which the driver's configuration writes and the ECAM window change) and the
// configuration address latch.
class Board {
 public:
  Board() { Reset(); }

  void Reset() {
    watch_.Undo();
    for (const sim::PciFunctionDescription& function : BoardWithAhci().pciFunctions) {
      board_.Pci().AddFunction(function);
    }
    board_.Pci().WriteConfig(sim::PciLocation{0, 31, 2}, 0x24, 4,
                             static_cast<std::uint32_t>(kAbar));
    board_.PortOut(sim::SimPciBus::kAddressPort, 4, 0);
  }

  WriteWatch& Machine() { return watch_; }

 private:
  sim::SimBoard board_{BoardWithAhci()};
  WriteWatch watch_{board_};
};

// One simulated machine with the driver loaded, on a board as it was built.
struct Machine {
  Machine(Board& board, std::uint8_t config) : watch(board.Machine()) {
    static const sim::SimCpuModel kModels[4] = {
        sim::SimCpuModel::Intel(), sim::SimCpuModel::Amd(),
        sim::SimCpuModel::IntelGuestWithoutCounters(), sim::SimCpuModel::AmdGuestWithoutCounters()};
    board.Reset();
    kernel.Cpu().SetModel(kModels[config & 3]);
    kernel.Cpu().SetLongMode((config & 4) != 0);
    bus.AttachPorts(kPmTimerPort, 4, timer);
    bus.AttachPorts(kPrimaryChannel, 8, disk);
    bus.AttachPorts(kSecondaryChannel, 8, packet);
    ahci.AttachDevice(0, sim::SimAtaKind::kDisk);
    ahci.AttachDevice(1, sim::SimAtaKind::kPacket);
    ahci.AttachDevice(2, sim::SimAtaKind::kDisk);
    ahci.RunPortForOs(2, 0x00200000, 0x00201000);  // the storage driver's port
    bus.AttachMemory(kAbar, sim::kAhciAbarSize, ahci);
  }

  WriteWatch& watch;
  sim::SimDeviceBus bus{watch};
  sim::SimAddressSpace process{bus};
  sim::SimAddressSpace otherProcess{bus};
  sim::SimKernel kernel{bus, process};
  sim::SimPmTimer timer{kernel.Clock(), false};
  sim::SimAtaDevice disk{kernel.Clock(), sim::SimAtaKind::kDisk};
  sim::SimAtaDevice packet{kernel.Clock(), sim::SimAtaKind::kPacket, true};
  sim::SimAhciController ahci{bus};
  velmora::driver::RequestHandler handler{kernel};
  std::array<void*, kFileObjects> fileContexts{};  // each file object's FsContext2
  std::size_t checkedWrites = 0;
};

// The file objects: addresses that stand for the I/O manager's objects, the same in both
// machines.
const std::array<char, kFileObjects> kFileObjectStorage{};
const void* FileObject(int index) { return &kFileObjectStorage[index]; }

enum class FileState { kNone, kOpen, kCleanedUp };

class Stream {
 public:
  Stream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  std::uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t U16() { return static_cast<std::uint16_t>(U8() | (U8() << 8)); }
  std::uint32_t U32() { return U16() | (static_cast<std::uint32_t>(U16()) << 16); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

std::uint32_t ControlCode(Stream& in) {
  const std::uint8_t selector = in.U8();
  if (selector < 0x20) return dp::ControlCode(0xA00 + selector);
  if (selector < 0x40) {
    // Another method (bits 0-1), or the same method with FILE_DEVICE_UNKNOWN replaced or an
    // access requirement added (bits 14-31).
    const std::uint32_t code = dp::ControlCode(0xA00 + (selector & 0x1F));
    switch ((selector >> 5) & 1) {
      case 0:
        return code | (1 + (selector & 1)) | ((selector & 2) << 13);
      default:
        return (code & 0xFFFF) | 0x00120000;
    }
  }
  if (selector < 0xFF) return dp::ControlCode(0x800 + selector);
  return in.U32();
}

class Rig {
 public:
  explicit Rig(std::uint8_t config) {
    static Board boards[2];
    for (int m = 0; m < 2; ++m) machines_[m] = std::make_unique<Machine>(boards[m], config);
    BindRamRanges();
  }

  void Run(Stream& in) {
    for (std::size_t n = 0; n < kMaxOperations && !in.Done(); ++n) Operation(in);
    for (int file = 0; file < kFileObjects; ++file) {
      if (files_[file] == FileState::kOpen) Lifecycle(file, IoRequest::Kind::kCleanup);
      if (files_[file] == FileState::kCleanedUp) Lifecycle(file, IoRequest::Kind::kClose);
    }
    for (auto& machine : machines_) {
      if (machine->handler.LiveViews() != 0) Fault("the driver still records views");
      if (machine->process.LiveViewCount() != 0 || machine->otherProcess.LiveViewCount() != 0) {
        Fault("a view outlived every handle");
      }
      if (machine->kernel.ProcessReferences() != 0) Fault("a process reference was not released");
    }
  }

 private:
  void Operation(Stream& in) {
    const std::uint8_t op = in.U8();
    const int file = op & 3;
    const int kind = (op >> 2) & 7;
    if (kind < 4) return DeviceControl(in, file);
    if (kind == 4 && files_[file] == FileState::kNone) return Lifecycle(file, IoRequest::Kind::kCreate);
    if (kind == 5 && files_[file] == FileState::kOpen) return Lifecycle(file, IoRequest::Kind::kCleanup);
    if (kind == 6 && files_[file] == FileState::kCleanedUp) return Lifecycle(file, IoRequest::Kind::kClose);
    if (kind != 7) return;
    switch (op >> 5) {
      case 0:
        for (auto& machine : machines_) machine->kernel.SwitchToProcess(machine->otherProcess);
        break;
      case 1:
        for (auto& machine : machines_) machine->kernel.SwitchToProcess(machine->process);
        break;
      case 2:
        if (files_[file] != FileState::kNone) Lifecycle(file, IoRequest::Kind::kOther);
        break;
      default:
        break;
    }
  }

  void Lifecycle(int file, IoRequest::Kind kind) {
    IoResult results[2];
    for (int m = 0; m < 2; ++m) {
      IoRequest request;
      request.kind = kind;
      request.fileObject = FileObject(file);
      request.fileContext = &machines_[m]->fileContexts[file];
      results[m] = Dispatch(*machines_[m], request);
    }
    if (Verbose()) {
      std::fprintf(stderr, "file %d: %s -> %08X\n", file,
                   kind == IoRequest::Kind::kCreate    ? "create"
                   : kind == IoRequest::Kind::kCleanup ? "cleanup"
                   : kind == IoRequest::Kind::kClose   ? "close"
                                                       : "other",
                   results[0].status);
    }
    if (results[0].status != results[1].status || results[0].information != results[1].information) {
      Fault("the two machines completed a create, cleanup or close differently");
    }
    if (kind == IoRequest::Kind::kCreate) files_[file] = FileState::kOpen;
    if (kind == IoRequest::Kind::kCleanup) files_[file] = FileState::kCleanedUp;
    if (kind == IoRequest::Kind::kClose) files_[file] = FileState::kNone;
    CheckAfterRequest();
  }

  void DeviceControl(Stream& in, int file) {
    const std::uint32_t code = ControlCode(in);
    const std::uint8_t flags = in.U8();
    const auto delta = static_cast<std::int8_t>((flags & 1) != 0 ? in.U8() : 0);
    const std::uint32_t inputLength = in.U16() % kLengthModulus;
    const std::uint32_t outputLength = in.U16() % kLengthModulus;
    std::vector<std::uint8_t> input(inputLength);
    for (std::uint8_t& byte : input) byte = in.U8();
    if ((flags & 1) != 0 && inputLength >= 4) {
      const std::uint32_t address = lastMapAddress_ + static_cast<std::uint32_t>(delta);
      std::memcpy(input.data(), &address, 4);
    }
    if (files_[file] == FileState::kNone) return;  // no handle: the request cannot be sent
    if (code == dp::IOCTL_ATA_IDENTIFY_AHCI && ++ahciRequests_ > kMaxAhciRequests) return;

    const std::uint32_t size = std::max(inputLength, outputLength);
    std::unique_ptr<std::uint8_t[]> buffers[2];
    IoResult results[2];
    for (int m = 0; m < 2; ++m) {
      // Exactly max(input, output) bytes, so that AddressSanitizer sees every access past it.
      if (size != 0) {
        buffers[m].reset(new std::uint8_t[size]);
        std::memset(buffers[m].get(), kMarkers[m], size);
        if (inputLength != 0) std::memcpy(buffers[m].get(), input.data(), inputLength);
      }
      IoRequest request;
      request.kind = IoRequest::Kind::kDeviceControl;
      request.fileObject = FileObject(file);
      request.fileContext = &machines_[m]->fileContexts[file];
      request.controlCode = code;
      request.systemBuffer = buffers[m].get();
      request.inputLength = inputLength;
      request.outputLength = outputLength;
      results[m] = Dispatch(*machines_[m], request);
    }
    if (Verbose()) {
      std::fprintf(stderr, "file %d: code %08X in %u out %u -> %08X, %u byte(s)\n", file, code,
                   inputLength, outputLength, results[0].status, results[0].information);
    }
    if (results[0].status != results[1].status) {
      Fault("the status depends on the stale bytes past the input");
    }
    if (results[0].information != results[1].information) {
      Fault("the count returned depends on the stale bytes past the input");
    }
    if (!NtError(results[0].status)) {
      if (results[0].information > outputLength) {
        Fault("the count returned exceeds the output buffer");
      }
      if (results[0].information != 0 &&
          std::memcmp(buffers[0].get(), buffers[1].get(), results[0].information) != 0) {
        Fault("a returned byte was not written by the driver (stale pool in the answer)");
      }
    }
    if (code == dp::IOCTL_MAP_PHYSICAL_MEMORY && results[0].status == dp::kStatusSuccess &&
        results[0].information >= sizeof(dp::MapMemoryRequest)) {
      std::memcpy(&lastMapAddress_,
                  buffers[0].get() + offsetof(dp::MapMemoryRequest, processAddress), 4);
    }
    CheckAfterRequest();
  }

  IoResult Dispatch(Machine& machine, const IoRequest& request) {
    const std::size_t completions = machine.kernel.Completions().size();
    const IoResult result = machine.handler.Dispatch(request);
    if (machine.kernel.Completions().size() != completions + 1) {
      Fault("a request was not completed exactly once");
    }
    const sim::SimKernel::Completion& completion = machine.kernel.Completions().back();
    if (completion.result.status != result.status ||
        completion.result.information != result.information) {
      Fault("the request was completed with another result than the one returned");
    }
    if (completion.lockDepth != 1) Fault("the request was completed outside the lock");
    return result;
  }

  void BindRamRanges() {
    std::array<velmora::driver::MemoryRange, 64> ranges{};
    const std::uint32_t count =
        machines_[0]->kernel.PhysicalMemoryRanges(ranges.data(), ranges.size());
    ram_.assign(ranges.begin(), ranges.begin() + std::min<std::uint32_t>(count, ranges.size()));
  }

  bool InManagedRam(std::uint64_t first, std::uint64_t last) const {
    for (const auto& range : ram_) {
      if (range.length != 0 && range.base <= last && first <= range.base + (range.length - 1)) {
        return true;
      }
    }
    return false;
  }

  bool InContiguousMemory(const Machine& machine, std::uint64_t first, std::uint64_t last) const {
    for (const auto& allocation : machine.kernel.AllocationsMade()) {
      const std::uint64_t pages = (allocation.size + sim::kPageSize - 1) / sim::kPageSize * sim::kPageSize;
      if (first >= allocation.physical && last < allocation.physical + pages) return true;
    }
    return false;
  }

  void CheckAfterRequest() {
    const auto& a = machines_[0]->kernel;
    const auto& b = machines_[1]->kernel;
    if (a.PortAccesses().size() != b.PortAccesses().size()) {
      Fault("the port accesses depend on the stale bytes past the input");
    }
    for (std::size_t i = checkedPortAccesses_; i < a.PortAccesses().size(); ++i) {
      const auto& x = a.PortAccesses()[i];
      const auto& y = b.PortAccesses()[i];
      if (x.port != y.port || x.width != y.width || x.write != y.write || x.value != y.value) {
        Fault("the port accesses depend on the stale bytes past the input");
      }
    }
    checkedPortAccesses_ = a.PortAccesses().size();
    for (auto& machine : machines_) {
      const sim::SimKernel& kernel = machine->kernel;
      if (kernel.LockDepth() != 0) Fault("the lock is still held");
      if (kernel.LockMisuses() != 0) Fault("the lock or the IRQL was misused");
      if (kernel.Irql() != sim::kPassiveLevel) Fault("the IRQL was left raised");
      if (machine->kernel.Cpu().GeneralProtectionFaults() != 0) {
        Fault("a register instruction raised #GP");
      }
      if (kernel.UnlockedMemoryCalls() != 0) Fault("a map or unmap ran outside the lock");
      if (kernel.LiveIoMappings() != 0) Fault("an I/O-space mapping was left behind");
      if (kernel.LiveAllocations() != 0) Fault("contiguous memory was left behind");
      if (kernel.RamViewsMapped() != 0) Fault("a view of RAM was mapped into a process");
      const std::vector<WriteWatch::Write>& writes = machine->watch.Writes();
      for (std::size_t i = machine->checkedWrites; i < writes.size(); ++i) {
        const std::size_t size = writes[i].before.size();
        const std::uint64_t last = writes[i].address + (size - 1);
        if (size != 0 && InManagedRam(writes[i].address, last) &&
            !InContiguousMemory(*machine, writes[i].address, last)) {
          std::fprintf(stderr, "driver request fuzz: %zu byte(s) written at 0x%llX\n", size,
                       static_cast<unsigned long long>(writes[i].address));
          Fault("RAM the driver does not own was written");
        }
      }
      machine->checkedWrites = writes.size();
    }
  }

  std::array<std::unique_ptr<Machine>, 2> machines_;
  std::array<FileState, kFileObjects> files_{};
  std::vector<velmora::driver::MemoryRange> ram_;
  std::uint32_t lastMapAddress_ = 0;
  std::size_t checkedPortAccesses_ = 0;
  int ahciRequests_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Stream in(data, size);
  const std::uint8_t config = in.U8();
  Rig rig(config);
  try {
    rig.Run(in);
  } catch (const sim::SimAccessViolation& violation) {
    std::fprintf(stderr, "driver request fuzz: %s\n", violation.what());
    Fault("an access outside every mapping");
  }
  return 0;
}
