#include "tests/fuzz/DriverRequestRig.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "hw/DriverProtocol.h"
#include "sim/board/SimBoard.h"
#include "sim/board/SimPciBus.h"
#include "tests/fuzz/FuzzReport.h"
#include "tests/fuzz/KernelChecks.h"

namespace velmora::fuzz {

namespace dp = driver_protocol;
using driver::IoRequest;
using driver::IoResult;

namespace {

constexpr char kTarget[] = "driver request fuzz";
constexpr std::uint8_t kStalePool[2] = {0xC5, 0x3A};
constexpr std::uint8_t kFirmwareBits = 0xE0;
constexpr std::uint8_t kFirmwareRequest = 0x10;

// What the driver serves; every other code is refused.
constexpr std::uint32_t kServedCodes[] = {
    dp::IOCTL_PCI_CONFIG_READ_BYTE, dp::IOCTL_PCI_CONFIG_READ_WORD, dp::IOCTL_PCI_CONFIG_READ_DWORD,
    dp::IOCTL_READ_PHYSICAL_MEMORY, dp::IOCTL_READABLE_RANGES,      dp::IOCTL_UPDATE_CONTROL_BYTE};

bool Served(std::uint32_t code) {
  return std::find(std::begin(kServedCodes), std::end(kServedCodes), code) !=
         std::end(kServedCodes);
}

bool NtError(std::uint32_t status) {
  return (status >> 30) == 3;
}

sim::BoardDescription LayoutDescription(int layout) {
  sim::BoardDescription board = sim::DefaultBoardDescription();
  if (layout == 1) board.firmwareMapUnit = 0x1000;
  if (layout >= 2) board.legacyCopies = false;
  return board;
}

// The file objects: addresses that stand for the I/O manager's objects, the same in both
// machines.
const std::array<char, kFileObjects> kFileObjectStorage{};

}  // namespace

// The two boards of one layout, as built, and what is known of them.
struct LayoutBoards {
  explicit LayoutBoards(int layout)
      : boards{std::make_unique<sim::SimBoard>(LayoutDescription(layout)),
               std::make_unique<sim::SimBoard>(LayoutDescription(layout))},
        oracle(*boards[0]),
        controlByte(*boards[0]->ControlByteAddress()),
        original(*boards[0]->ControlByte()),
        withoutProvider(layout == 3) {
    if (!Verbose()) return;
    for (const FirmwareOracle::Range& range : oracle.Ranges()) {
      std::fprintf(stderr, "board %d firmware: 0x%llX-0x%llX\n", layout,
                   static_cast<unsigned long long>(range.first),
                   static_cast<unsigned long long>(range.last));
    }
  }

  // The control byte and the configuration address latch as built: the only state a request
  // can change.
  void Reset() {
    for (auto& board : boards) {
      board->SetControlByte(original);
      board->PortOut(sim::SimPciBus::kAddressPort, 4, 0);
    }
  }

  static LayoutBoards& Of(int layout) {
    static std::array<std::unique_ptr<LayoutBoards>, kBoardLayouts> layouts;
    std::unique_ptr<LayoutBoards>& boards = layouts[layout % kBoardLayouts];
    if (!boards) boards = std::make_unique<LayoutBoards>(layout % kBoardLayouts);
    return *boards;
  }

  std::array<std::unique_ptr<sim::SimBoard>, 2> boards;
  FirmwareOracle oracle;
  std::uint64_t controlByte;
  std::uint8_t original;
  bool withoutProvider;
};

// One simulated kernel with the driver loaded, on a board as it was built.
struct RequestMachine {
  RequestMachine(sim::SimBoard& board, bool withoutProvider) : kernel(board) {
    kernel.RemoveFirmwareTableProvider(withoutProvider);
  }

  sim::SimKernel kernel;
  driver::RequestHandler handler{kernel};
  std::array<void*, kFileObjects> fileContexts{};  // each file object's FsContext2
  std::size_t checkedMappings = 0;
  std::size_t checkedWrites = 0;
};

DriverRequestRig::DriverRequestRig(int layout) : boards_(LayoutBoards::Of(layout)) {
  boards_.Reset();
  for (int m = 0; m < 2; ++m) {
    machines_[m] = std::make_unique<RequestMachine>(*boards_.boards[m], boards_.withoutProvider);
  }
}

DriverRequestRig::~DriverRequestRig() = default;

const std::vector<FirmwareOracle::Range>& DriverRequestRig::Firmware() const {
  return boards_.oracle.Ranges();
}

std::uint64_t DriverRequestRig::ControlByte() const {
  return boards_.controlByte;
}

void DriverRequestRig::Lifecycle(int file, IoRequest::Kind kind) {
  const FileState state = files_[file];
  if ((kind == IoRequest::Kind::kCreate) != (state == FileState::kNone)) return;
  if (kind == IoRequest::Kind::kCleanup && state != FileState::kOpen) return;
  if (kind == IoRequest::Kind::kClose && state != FileState::kCleanedUp) return;
  IoResult results[2];
  for (int m = 0; m < 2; ++m) {
    IoRequest request;
    request.kind = kind;
    request.fileObject = &kFileObjectStorage[file];
    request.fileContext = &machines_[m]->fileContexts[file];
    results[m] = Dispatch(*machines_[m], request);
  }
  if (Verbose()) {
    std::fprintf(stderr, "file %d: request kind %d -> %08X\n", file, static_cast<int>(kind),
                 results[0].status);
  }
  if (results[0].status != results[1].status || results[0].information != results[1].information) {
    Fault(kTarget, "the two machines completed a create, cleanup, close or other differently");
  }
  const std::uint32_t expected =
      kind == IoRequest::Kind::kOther ? dp::kStatusInvalidDeviceRequest : dp::kStatusSuccess;
  if (results[0].status != expected || results[0].information != 0) {
    Fault(kTarget, "a create, cleanup or close failed, or another major function was served");
  }
  if (kind == IoRequest::Kind::kCreate) files_[file] = FileState::kOpen;
  if (kind == IoRequest::Kind::kCleanup) files_[file] = FileState::kCleanedUp;
  if (kind == IoRequest::Kind::kClose) files_[file] = FileState::kNone;
  CheckMachines();
}

void DriverRequestRig::Finish() {
  for (int file = 0; file < kFileObjects; ++file) {
    Lifecycle(file, IoRequest::Kind::kCleanup);
    Lifecycle(file, IoRequest::Kind::kClose);
  }
}

void DriverRequestRig::DeviceControl(int file, std::uint32_t code,
                                     const std::vector<std::uint8_t>& input,
                                     std::uint32_t outputLength) {
  if (files_[file] == FileState::kNone) return;  // no handle: the request cannot be sent
  const std::size_t mappingsBefore = machines_[0]->kernel.Mappings().size();
  const std::uint64_t pciReadsBefore = machines_[0]->kernel.PciReads();
  Sent sent[2];
  for (int m = 0; m < 2; ++m) {
    sent[m] = Send(*machines_[m], file, code, input, outputLength, kStalePool[m]);
  }
  if (Verbose()) {
    std::fprintf(stderr, "file %d: code %08X in %zu out %u -> %08X, %u byte(s)\n", file, code,
                 input.size(), outputLength, sent[0].result.status, sent[0].result.information);
  }
  CompareAnswers(sent, outputLength);
  CheckRefusal(code, sent[0].result, mappingsBefore, pciReadsBefore, file);
  if (code == dp::IOCTL_READABLE_RANGES && sent[0].result.status == dp::kStatusSuccess) {
    CheckListedRanges(sent[0].buffer.get(), sent[0].result.information);
  }
  CheckMachines();
}

// Exactly max(input, output) bytes, so that AddressSanitizer sees every access past them.
DriverRequestRig::Sent DriverRequestRig::Send(RequestMachine& machine, int file, std::uint32_t code,
                                              const std::vector<std::uint8_t>& input,
                                              std::uint32_t outputLength, std::uint8_t pool) {
  const auto inputLength = static_cast<std::uint32_t>(input.size());
  const std::uint32_t size = std::max(inputLength, outputLength);
  Sent sent;
  if (size != 0) {
    sent.buffer.reset(new std::uint8_t[size]);
    std::memset(sent.buffer.get(), pool, size);
    if (inputLength != 0) std::memcpy(sent.buffer.get(), input.data(), inputLength);
  }
  IoRequest request;
  request.kind = IoRequest::Kind::kDeviceControl;
  request.fileObject = &kFileObjectStorage[file];
  request.fileContext = &machine.fileContexts[file];
  request.controlCode = code;
  request.systemBuffer = sent.buffer.get();
  request.inputLength = inputLength;
  request.outputLength = outputLength;
  sent.result = Dispatch(machine, request);
  return sent;
}

IoResult DriverRequestRig::Dispatch(RequestMachine& machine, const IoRequest& request) {
  const std::size_t completions = machine.kernel.Completions().size();
  const IoResult result = machine.handler.Dispatch(request);
  if (machine.kernel.Completions().size() != completions + 1) {
    Fault(kTarget, "a request was not completed exactly once");
  }
  const sim::SimKernel::Completion& completion = machine.kernel.Completions().back();
  if (completion.result.status != result.status ||
      completion.result.information != result.information) {
    Fault(kTarget, "the request was completed with another result than the one returned");
  }
  if (completion.lockDepth != 1) Fault(kTarget, "the request was completed outside the lock");
  return result;
}

void DriverRequestRig::CompareAnswers(const Sent (&sent)[2], std::uint32_t outputLength) const {
  const IoResult& a = sent[0].result;
  const IoResult& b = sent[1].result;
  if (a.status != b.status) Fault(kTarget, "the status depends on the stale bytes past the input");
  if (a.information != b.information) {
    Fault(kTarget, "the count returned depends on the stale bytes past the input");
  }
  if (NtError(a.status)) return;
  if (a.information > outputLength) Fault(kTarget, "the count returned exceeds the output buffer");
  if (a.information != 0 &&
      std::memcmp(sent[0].buffer.get(), sent[1].buffer.get(), a.information) != 0) {
    Fault(kTarget, "a returned byte was not written by the driver (stale pool in the answer)");
  }
}

void DriverRequestRig::CheckRefusal(std::uint32_t code, const IoResult& result,
                                    std::size_t mappingsBefore, std::uint64_t pciReadsBefore,
                                    int file) const {
  const bool cleanedUp = files_[file] == FileState::kCleanedUp;
  if (!Served(code) && !cleanedUp && result.status != dp::kStatusInvalidDeviceRequest) {
    Fault(kTarget, "a code the driver does not serve was not refused as an invalid request");
  }
  if (cleanedUp && result.status != dp::kStatusFileClosed) {
    Fault(kTarget, "a request through a cleaned-up file object was not refused as closed");
  }
  if ((!Served(code) || cleanedUp) && (machines_[0]->kernel.Mappings().size() != mappingsBefore ||
                                       machines_[0]->kernel.PciReads() != pciReadsBefore)) {
    Fault(kTarget, "a refused request mapped memory or read configuration space");
  }
}

// The list the client gets: every range it names is the board's firmware.
void DriverRequestRig::CheckListedRanges(const std::uint8_t* answer,
                                         std::uint32_t information) const {
  constexpr std::uint32_t kHeader = sizeof(dp::ReadableRangesHeader);
  for (std::uint32_t at = kHeader; at + sizeof(dp::ReadableRange) <= information;
       at += sizeof(dp::ReadableRange)) {
    dp::ReadableRange range;
    std::memcpy(&range, answer + at, sizeof range);
    const std::uint64_t base = range.baseLow | (std::uint64_t{range.baseHigh} << 32);
    if (!boards_.oracle.Covers(base, range.length)) {
      Fault(kTarget, "the list of readable ranges names something that is not firmware");
    }
  }
}

void DriverRequestRig::CheckMachines() {
  for (auto& machine : machines_) {
    const sim::SimKernel& kernel = machine->kernel;
    if (const char* fault = KernelFault(kernel, boards_.controlByte, machine->checkedMappings,
                                        machine->checkedWrites)) {
      Fault(kTarget, fault);
    }
    CheckMappings(*machine);
    CheckWrites(*machine);
  }
}

void DriverRequestRig::CheckMappings(RequestMachine& machine) const {
  const auto& mappings = machine.kernel.Mappings();
  for (std::size_t i = machine.checkedMappings; i < mappings.size(); ++i) {
    const sim::SimKernel::Mapping& mapping = mappings[i];
    if (Verbose()) {
      std::fprintf(stderr, "  mapping %zu: %u byte(s) at 0x%llX\n", i, mapping.size,
                   static_cast<unsigned long long>(mapping.physical));
    }
    if (!boards_.oracle.Covers(mapping.physical, mapping.size)) {
      Fault(kTarget, "a mapping outside the board's firmware");
    }
    const bool device = boards_.oracle.TouchesWindow(mapping.physical, mapping.size);
    if (device != (mapping.caching == driver::Caching::kUncached)) {
      Fault(kTarget, "firmware mapped uncached or device memory mapped cached");
    }
  }
  machine.checkedMappings = mappings.size();
}

void DriverRequestRig::CheckWrites(RequestMachine& machine) const {
  const auto& writes = machine.kernel.Writes();
  for (std::size_t i = machine.checkedWrites; i < writes.size(); ++i) {
    const std::uint8_t value = writes[i].value;
    if ((value & kFirmwareBits) != (boards_.original & kFirmwareBits)) {
      Fault(kTarget, "a write changed the firmware's bits of the control byte");
    }
    if ((value & kFirmwareRequest) != 0 && (boards_.original & kFirmwareRequest) == 0) {
      Fault(kTarget, "a write set the firmware's request bit");
    }
  }
  machine.checkedWrites = writes.size();
}

}  // namespace velmora::fuzz
