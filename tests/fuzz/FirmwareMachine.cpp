#include "tests/fuzz/FirmwareMachine.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/DebugLog.h"
#include "driver/BufferAccess.h"
#include "hw/AcpiBase.h"
#include "hw/DriverProtocol.h"
#include "hw/SmbiosBase.h"
#include "sim/ForwardingFiles.h"
#include "sim/SimStartup.h"
#include "sim/board/SimPciBus.h"
#include "sim/kernel/SimKernel.h"
#include "sim/kernel/SimWindowsIo.h"

namespace velmora::fuzz {
namespace {

namespace dp = driver_protocol;

constexpr std::uint64_t kFuzzRsdpAddress = 0xE0400;

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "firmware fuzz: %s\n", what);
  std::abort();
}

bool EnvironmentSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' && *value != '0';
}

// VELMORA_FUZZ_VERBOSE=1 shows what the readers made of an input (for looking at one input, not
// for fuzzing).
bool Verbose() {
  static const bool verbose = EnvironmentSet("VELMORA_FUZZ_VERBOSE");
  return verbose;
}

// VELMORA_FUZZ_CHECK_DRIVER=1 also sends every map request to the driver itself and stops when
// the two answers differ (see ReaderDriver).
bool CheckDriver() {
  static const bool check = EnvironmentSet("VELMORA_FUZZ_CHECK_DRIVER");
  return check;
}

// The driver as the readers' client (TReadWrite) meets it: its file and device layer and its
// memory port. Every call goes on to the simulated Windows, except the device-control requests
// on the driver's handle (the handle CreateFileA gave for the driver's device):
//
// - Windows 98: the virtual device driver's two memory requests are answered here as the
//   simulated one (sim/kernel/SimVxd) answers them: the 4 KiB page holding the address, mapped
//   as one system page (first fit from kSystemPages), the answer the linear address of the byte
//   itself; the unmap frees the page holding the address. Other requests go to the simulated
//   virtual device driver.
// - NT: the two memory requests are answered here, by the rules the driver's request handler
//   follows (driver/MemoryRequests.cpp): a length of 1 to kMaxMapLength bytes, a range that does
//   not wrap, a view that reaches no RAM the memory manager manages above the first MiB (the
//   view starts at the address rounded down to 64 KiB and ends at a page boundary: the kernel's
//   ZwMapViewOfSection rules, as the simulated kernel applies them), at most kViewCapacity views.
//   Views are placed, and reads through them checked, as the simulated process's address space
//   does it: first fit from kUserViews, whole pages, and an access to a byte no view covers
//   throws SimAccessViolation. Every other request goes to the driver.
//
// Why the memory requests do not go to the driver: the readers send about 1900 of them on the
// default board, and through the device layer, the driver's handler and the simulated kernel
// (or the simulated virtual device driver) and the simulated process's address space each
// costs several microseconds under the sanitizers and allocates, which held the firmware targets
// between 30 and 200 runs a second; answered here they cost a fraction of a microsecond. What
// the handler answers to any request, these included, is what driver_request_fuzz checks.
// VELMORA_FUZZ_CHECK_DRIVER=1 sends every map request to the driver (or the virtual device
// driver) as well and stops when it answers otherwise (CTest runs the seeds that way), so the
// rules here cannot drift from the driver's unnoticed.
//
// Map requests past the run's budget are refused, as a driver that ran out of system address
// space would refuse them. Unmaps always pass, so a refusal never leaves a view behind.
class ReaderDriver : public sim::ForwardingFiles, public IProcessMemory {
 public:
  static constexpr std::uint32_t kViewCapacity = 64;  // the driver's table of views
  static constexpr std::uint32_t kRamRangeCapacity = 64;

  ReaderDriver(sim::SimDriverWorld& world, sim::SimMachine& machine, bool windows98)
      : machine_(machine), vxd_(windows98) {
    ForwardingFiles::Bind(world.io);
    std::array<driver::MemoryRange, kRamRangeCapacity> ranges{};
    const std::uint32_t count = world.kernel.PhysicalMemoryRanges(ranges.data(), kRamRangeCapacity);
    ramKnown_ = count != 0 && count <= kRamRangeCapacity;
    ram_.assign(ranges.begin(), ranges.begin() + (ramKnown_ ? count : 0));
  }

  void StartRun(std::uint32_t budget) {
    budget_ = budget;
    maps_ = 0;
  }
  std::uint32_t Maps() const { return maps_; }
  std::uint32_t LiveViews() const { return viewCount_; }

  Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                     std::uint32_t disposition, std::uint32_t flags) override {
    const Handle handle = ForwardingFiles::CreateFileA(path, access, share, disposition, flags);
    if (handle != kInvalidHandleValue && IsDriverPath(path)) driver_ = handle;
    return handle;
  }

  bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                       void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    if (device != driver_) {
      return ForwardingFiles::DeviceIoControl(device, code, in, inSize, out, outSize, returned);
    }
    if (code == dp::IOCTL_MAP_PHYSICAL_MEMORY && ++maps_ > budget_) return Refuse(returned);
    if (vxd_) return ToVxd(code, in, inSize, out, outSize, returned);
    if (code == dp::IOCTL_MAP_PHYSICAL_MEMORY) return Map(in, inSize, out, outSize, returned);
    if (code == dp::IOCTL_UNMAP_PHYSICAL_MEMORY) return Unmap(in, inSize, returned);
    return ForwardingFiles::DeviceIoControl(device, code, in, inSize, out, outSize, returned);
  }

  void Read(ProcessAddress address, void* destination, std::uint32_t size) override {
    Transfer(address, size, false, [&](std::uint64_t physical, std::uint32_t done, std::uint32_t n) {
      machine_.ReadPhysical(physical, static_cast<std::uint8_t*>(destination) + done, n);
    });
  }

  void Write(ProcessAddress address, const void* source, std::uint32_t size) override {
    Transfer(address, size, true, [&](std::uint64_t physical, std::uint32_t done, std::uint32_t n) {
      machine_.WritePhysical(physical, static_cast<const std::uint8_t*>(source) + done, n);
    });
  }

 private:
  struct View {
    std::uint64_t base;
    std::uint64_t size;      // whole pages
    std::uint64_t physical;  // of the view's first byte
    std::uint64_t end;       // one past the last byte the caller asked for, in the process
  };

  static bool IsDriverPath(const std::string& path) {
    const std::string name = dp::kDriverName;
    const auto endsWith = [&](const std::string& tail) {
      return path.size() >= tail.size() &&
             path.compare(path.size() - tail.size(), tail.size(), tail) == 0;
    };
    return path.rfind("\\\\.\\", 0) == 0 && (endsWith(name) || endsWith(name + ".vxd"));
  }

  static bool Refuse(std::uint32_t* returned) {
    if (returned != nullptr) *returned = 0;
    return false;
  }

  // The virtual device driver: the page holding the 32-bit address, mapped as one system page;
  // the answer is the linear address of the byte itself (4 bytes in and out). The unmap frees
  // the page holding the address. Other requests do nothing and succeed with no data.
  bool ToVxd(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
             std::uint32_t outSize, std::uint32_t* returned) {
    if (returned != nullptr) *returned = 0;
    if (code == dp::IOCTL_MAP_PHYSICAL_MEMORY) {
      if (inSize < 4 || outSize < 4 || in == nullptr || out == nullptr) return false;
      const std::uint32_t physical = driver::LoadU32(static_cast<const std::uint8_t*>(in));
      const std::uint32_t offset = physical & (sim::kPageSize - 1);
      const std::optional<std::uint64_t> page = AddView(physical - offset, sim::kPageSize,
                                                        physical + 1, sim::kSystemPages);
      if (CheckDriver()) CompareWithVxd(physical, page.has_value());
      if (!page) return false;
      driver::StoreU32(static_cast<std::uint8_t*>(out), static_cast<std::uint32_t>(*page + offset));
      if (returned != nullptr) *returned = 4;
      return true;
    }
    if (code == dp::IOCTL_UNMAP_PHYSICAL_MEMORY) {
      if (inSize < 4 || in == nullptr) return false;
      return RemoveView(driver::LoadU32(static_cast<const std::uint8_t*>(in)), false);
    }
    return ForwardingFiles::DeviceIoControl(driver_, code, in, inSize, out, outSize, returned);
  }

  // The same page map through the simulated Windows to the simulated virtual device driver.
  void CompareWithVxd(std::uint32_t physical, bool served) {
    std::uint32_t io = physical;
    std::uint32_t count = 0;
    const bool mapped = ForwardingFiles::DeviceIoControl(driver_, dp::IOCTL_MAP_PHYSICAL_MEMORY,
                                                         &io, 4, &io, 4, &count);
    if (mapped != served) Fault("the harness's page map differs from the virtual device driver's");
    if (mapped && !ForwardingFiles::DeviceIoControl(driver_, dp::IOCTL_UNMAP_PHYSICAL_MEMORY, &io,
                                                    4, nullptr, 0, &count)) {
      Fault("the virtual device driver did not free the page it had just mapped");
    }
  }

  bool ReachesRam(std::uint64_t first, std::uint64_t last) const {
    constexpr std::uint64_t kOneMiB = 0x100000;
    if (last < kOneMiB) return false;
    if (!ramKnown_) return true;
    first = std::max(first, kOneMiB);
    for (const driver::MemoryRange& range : ram_) {
      if (range.length == 0) continue;
      const std::uint64_t rangeLast = range.length - 1 > ~std::uint64_t{0} - range.base
                                          ? ~std::uint64_t{0}
                                          : range.base + range.length - 1;
      if (range.base <= last && first <= rangeLast) return true;
    }
    return false;
  }

  // A view of `size` bytes (whole pages) of physical memory from `physical`, placed first fit
  // as SimAddressSpace::MapView places it; `end` is one past the last byte asked for (relative
  // to `physical`). views_ stays sorted by base.
  std::optional<std::uint64_t> AddView(std::uint64_t physical, std::uint64_t size,
                                       std::uint64_t end, const sim::ViewPlacement& placement) {
    if (viewCount_ >= kViewCapacity) return std::nullopt;
    size = RoundUp(std::max<std::uint64_t>(size, 1), sim::kPageSize);
    std::uint64_t candidate = placement.floor;
    std::uint32_t at = 0;
    for (; at < viewCount_; ++at) {
      const View& view = views_[at];
      if (view.base + view.size <= candidate) continue;
      if (candidate + size <= view.base) break;
      candidate = RoundUp(view.base + view.size, placement.alignment);
    }
    if (candidate + size > placement.ceiling) return std::nullopt;
    at = 0;
    while (at < viewCount_ && views_[at].base < candidate) ++at;
    for (std::uint32_t i = viewCount_; i > at; --i) views_[i] = views_[i - 1];
    views_[at] = View{candidate, size, physical, candidate + (end - physical)};
    ++viewCount_;
    return candidate;
  }

  // Removes the view that holds the address (only the bytes a map asked for name a view when
  // `asked`, as in the driver's table; any byte of the view otherwise).
  bool RemoveView(std::uint64_t address, bool asked) {
    for (std::uint32_t i = 0; i < viewCount_; ++i) {
      const View& view = views_[i];
      if (address < view.base || address >= (asked ? view.end : view.base + view.size)) continue;
      for (std::uint32_t j = i + 1; j < viewCount_; ++j) views_[j - 1] = views_[j];
      --viewCount_;
      return true;
    }
    return false;
  }

  static std::uint64_t RoundUp(std::uint64_t value, std::uint64_t unit) {
    return (value + unit - 1) / unit * unit;
  }

  // What the driver answers (0 when it refuses).
  std::uint32_t ServeMap(std::uint64_t physical, std::uint32_t length) {
    constexpr std::uint64_t kGranularity = sim::kAllocationGranularity;
    if (length == 0 || length > dp::kMaxMapLength) return 0;
    const std::uint64_t last = physical + length - 1;
    if (last < physical) return 0;
    const std::uint64_t rounded = physical & ~(kGranularity - 1);
    if (ReachesRam(rounded, last | (sim::kPageSize - 1))) return 0;
    const std::optional<std::uint64_t> base =
        AddView(rounded, physical - rounded + length, physical + length, sim::kUserViews);
    if (!base) return 0;
    return static_cast<std::uint32_t>(*base + (physical - rounded));
  }

  bool Map(const void* in, std::uint32_t inSize, void* out, std::uint32_t outSize,
           std::uint32_t* returned) {
    constexpr std::uint32_t kRecord = sizeof(dp::MapMemoryRequest);
    if (inSize < kRecord || outSize < kRecord || in == nullptr || out == nullptr) {
      return Refuse(returned);
    }
    std::uint8_t record[kRecord];
    std::memcpy(record, in, kRecord);
    const std::uint64_t physical =
        driver::LoadU32(record) | (std::uint64_t{driver::LoadU32(record + 4)} << 32);
    const std::uint32_t length = driver::LoadU32(record + 8);
    const std::uint32_t address = ServeMap(physical, length);
    if (CheckDriver()) CompareWithDriver(record, address != 0);
    if (address == 0) return Refuse(returned);
    driver::StoreU32(record + offsetof(dp::MapMemoryRequest, processAddress), address);
    std::memcpy(out, record, kRecord);
    if (returned != nullptr) *returned = kRecord;
    return true;
  }

  bool Unmap(const void* in, std::uint32_t inSize, std::uint32_t* returned) {
    if (returned != nullptr) *returned = 0;
    if (inSize < 4 || in == nullptr) return false;
    return RemoveView(driver::LoadU32(static_cast<const std::uint8_t*>(in)), true);
  }

  // Hands each piece of [address, address + size) to `piece` with its physical address; throws
  // at the first byte no view covers, before anything is transferred.
  template <typename Piece>
  void Transfer(ProcessAddress address, std::uint32_t size, bool write, Piece piece) {
    const auto containing = [&](std::uint64_t at) -> const View* {
      for (std::uint32_t i = 0; i < viewCount_; ++i) {
        if (at >= views_[i].base && at < views_[i].base + views_[i].size) return &views_[i];
      }
      return nullptr;
    };
    const std::uint64_t end = std::uint64_t{address} + size;
    for (std::uint64_t at = address; at < end;) {
      const View* view = containing(at);
      if (view == nullptr) throw sim::SimAccessViolation(static_cast<ProcessAddress>(at), write);
      at = view->base + view->size;
    }
    std::uint32_t done = 0;
    for (std::uint64_t at = address; done < size;) {
      const View* view = containing(at);
      const auto n =
          static_cast<std::uint32_t>(std::min<std::uint64_t>(size - done, view->base + view->size - at));
      piece(view->physical + (at - view->base), done, n);
      at += n;
      done += n;
    }
  }

  // The same map request through the simulated Windows to the driver's handler; its view (if
  // any) is unmapped again at once.
  void CompareWithDriver(const std::uint8_t* record, bool served) {
    std::uint8_t answer[sizeof(dp::MapMemoryRequest)];
    std::memcpy(answer, record, sizeof answer);
    std::uint32_t count = 0;
    const bool mapped = ForwardingFiles::DeviceIoControl(
        driver_, dp::IOCTL_MAP_PHYSICAL_MEMORY, answer, sizeof answer, answer, sizeof answer,
        &count);
    if (mapped != served) {
      std::fprintf(stderr, "firmware fuzz: map of %u bytes at 0x%08X%08X: driver %s, harness %s\n",
                   driver::LoadU32(record + 8), driver::LoadU32(record + 4),
                   driver::LoadU32(record), mapped ? "maps" : "refuses",
                   served ? "maps" : "refuses");
      Fault("the harness's answer to a map request differs from the driver's");
    }
    if (!mapped) return;
    std::uint8_t unmap[4];
    std::memcpy(unmap, answer + offsetof(dp::MapMemoryRequest, processAddress), 4);
    if (!ForwardingFiles::DeviceIoControl(driver_, dp::IOCTL_UNMAP_PHYSICAL_MEMORY, unmap, 4,
                                          nullptr, 0, &count)) {
      Fault("the driver did not unmap the view it had just mapped");
    }
  }

  sim::SimMachine& machine_;
  const bool vxd_;
  Handle driver_ = kInvalidHandleValue;
  bool ramKnown_ = false;
  std::vector<driver::MemoryRange> ram_;
  std::array<View, kViewCapacity + 1> views_{};
  std::uint32_t viewCount_ = 0;
  std::uint32_t budget_ = 0xFFFFFFFF;
  std::uint32_t maps_ = 0;
};

// The default board with its root pointer near the start of the segment the locator searches
// (0xE0000-0xFFFFF, 16-byte steps) instead of at 0xF6A40: there every run spent 360 of its 930
// windows passing over the same empty stretch of the segment before finding it. An input that
// breaks or hides the pointer still sends the search over the whole segment. The first 1 KiB
// stays free for the anchors an input writes in front of it.
sim::BoardDescription FuzzBoardDescription() {
  sim::BoardDescription board = sim::DefaultBoardDescription();
  board.acpi.rsdpAddress = kFuzzRsdpAddress;
  return board;
}

// Where the debug log goes while the readers run: the file the log opens, kept in one buffer that
// each opening empties. (The simulated file system records every open with its path, which
// would grow with every run; libFuzzer then takes each run for a leak and checks the heap.)
class LogSink : public IFiles {
 public:
  Handle CreateFileA(const std::string&, std::uint32_t, std::uint32_t, std::uint32_t,
                     std::uint32_t) override {
    text_.clear();
    return kHandle;
  }
  bool ReadFile(Handle, void*, std::uint32_t, std::uint32_t* read) override {
    if (read != nullptr) *read = 0;
    return false;
  }
  bool WriteFile(Handle file, const void* data, std::uint32_t size,
                 std::uint32_t* written) override {
    if (file != kHandle) return false;
    text_.append(static_cast<const char*>(data), size);
    if (written != nullptr) *written = size;
    return true;
  }
  std::uint32_t GetFileSize(Handle) override { return static_cast<std::uint32_t>(text_.size()); }
  bool CloseHandle(Handle object) override { return object == kHandle; }
  bool DeleteFileA(const std::string&) override { return false; }
  bool DeviceIoControl(Handle, std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t,
                       std::uint32_t*) override {
    return false;
  }

 private:
  static constexpr Handle kHandle = 0x7000;
  std::string text_;
};

// The configuration the sessions start with; each run then sets the switches it is given.
constexpr char kIniText[] = "[Config]\r\nRwDebug=0\r\nACPIDecodeSSDTEx=1\r\n";

// Everything the rest of the program asks of the SMBIOS copy, and a little more.
void QuerySmbios(const TSmbiosBase& smbios) {
  if (smbios.Found == 1 && smbios.Table.size() != smbios.TableLength) {
    Fault("the SMBIOS copy differs in size from the entry point's table length");
  }
  std::size_t text = smbios.BoardName().size();
  if (Verbose()) {
    std::fprintf(stderr, "SMBIOS: entry point %08X, table %u bytes, board name \"%s\"\n",
                 smbios.EntryPointAddress, smbios.TableLength, smbios.BoardName().c_str());
  }
  for (std::uint8_t type = 0; type <= 4; ++type) {
    for (std::uint32_t occurrence = 0; occurrence < 3; ++occurrence) {
      const std::uint8_t* structure = smbios.FindStructure(type, occurrence);
      if (structure == nullptr) break;
      if (smbios.StructureSize(structure) >
          static_cast<std::size_t>(smbios.Table.data() + smbios.Table.size() - structure)) {
        Fault("an SMBIOS structure reaches past the copied table");
      }
      for (std::uint8_t number = 0; number < 6; ++number) {
        text += smbios.GetString(structure, number).size();
      }
      text += smbios.GetString(structure, 0xFF).size();
    }
  }
  if (text > (std::size_t{1} << 30)) Fault("impossible amount of SMBIOS text");
}

void QueryAcpi(TAcpiBase& acpi) {
  if (acpi.Tables.size() > kMaxAcpiTables) Fault("the ACPI list outgrew its bound");
  if (acpi.Found == 0 && !acpi.Tables.empty()) Fault("ACPI tables listed without a pointer");
  const bool qvzx = acpi.FindTable("QVZX");
  acpi.FindTable("DSDT");
  if (Verbose()) {
    std::fprintf(stderr, "ACPI: pointer %s, %zu table(s), QVZX %s\n",
                 acpi.Found ? "found" : "not found", acpi.Tables.size(), qvzx ? "found" : "absent");
  }
  if (acpi.CurrentEntry() == nullptr && !acpi.Tables.empty()) Fault("Current left the list");
}

}  // namespace

// One started Windows on the board: the configuration object and the driver client built as
// the program's start-up builds them (driver installed and opened through the simulated service
// manager and device layer, PCI Express base found), on the ports above.
struct FirmwareMachine::Session {
  Session(sim::SimBoard& board, bool windows98)
      : startup(board, windows98 ? sim::Windows98() : sim::Windows7X86(), kIniText),
        driver(startup.world, board, windows98) {
    TInitFile& config = startup.Configure();
    client = std::make_unique<TReadWrite>(
        config, HardwarePorts{DriverHost{driver, startup.world.services, startup.world.system,
                                         startup.world.messages},
                              driver, startup.processor});
    if (client->DeviceHandle() == kInvalidHandleValue) Fault("the driver did not open");
    if (driver.LiveViews() != 0 || startup.world.process.LiveViewCount() != 0) {
      Fault("the start-up left a mapping behind");
    }
    pristine = config.Config;
  }
  ~Session() {
    client.reset();  // closes the device and removes the driver while the Windows still exists
  }

  sim::SimStartup startup;
  ReaderDriver driver;
  std::unique_ptr<TReadWrite> client;
  RwCfg pristine;  // the configuration values after the start-up, before any reader ran
};

FirmwareMachine& FirmwareMachine::Instance(void (*prepare)(sim::SimBoard&)) {
  static FirmwareMachine machine(prepare);
  return machine;
}

FirmwareMachine::FirmwareMachine(void (*prepare)(sim::SimBoard&)) : prepare_(prepare) { Build(); }

FirmwareMachine::~FirmwareMachine() {
  nt_.reset();
  win98_.reset();
}

void FirmwareMachine::Build() {
  nt_.reset();
  win98_.reset();
  undo_.clear();
  deviceWindowWritten_ = false;
  board_ = std::make_unique<sim::SimBoard>(FuzzBoardDescription());
  if (prepare_ != nullptr) prepare_(*board_);
}

FirmwareMachine::Session& FirmwareMachine::SessionFor(bool windows98) {
  std::unique_ptr<Session>& session = windows98 ? win98_ : nt_;
  if (!session) session = std::make_unique<Session>(*board_, windows98);
  return *session;
}

bool FirmwareMachine::TouchesDeviceWindow(std::uint64_t address, std::size_t size) const {
  const std::optional<std::uint64_t>& ecam = board_->Description().ecamBase;
  if (!ecam || size == 0) return false;
  const std::uint64_t windowLast = *ecam + (sim::SimPciBus::kEcamSize - 1);
  const std::uint64_t last = address + (size - 1);
  if (last < address) return windowLast >= address || *ecam <= last;  // wraps past 2^64
  return address <= windowLast && *ecam <= last;
}

void FirmwareMachine::Write(std::uint64_t address, const void* bytes, std::size_t size) {
  if (size == 0) return;
  if (TouchesDeviceWindow(address, size)) deviceWindowWritten_ = true;
  undo_.push_back(Undo{address, board_->Memory().ReadBytes(address, size)});
  board_->Memory().Write(address, bytes, size);
}

void FirmwareMachine::Restore() {
  for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) {
    board_->Memory().Write(undo->address, undo->bytes.data(), undo->bytes.size());
  }
  undo_.clear();
  if (deviceWindowWritten_) {
    // Configuration registers do not all read back what was written to them: each function's
    // configuration space is made again from the board's description.
    for (const sim::PciFunctionDescription& function : board_->Description().pciFunctions) {
      board_->Pci().AddFunction(function);
    }
    deviceWindowWritten_ = false;
  }
}

FirmwareRunResult FirmwareMachine::RunReaders(const FirmwareRunOptions& options) {
  Session& session = SessionFor(options.windows98);
  session.driver.StartRun(options.mapBudget);
  TInitFile& config = session.startup.Config();
  config.Config = session.pristine;
  config.Config.ACPIDecodeSSDTEx = options.searchSsdts ? 1 : 0;
  config.Config.RwDebug = options.debugLog ? 1 : 0;
  // The log as RwDebug=1 opens it: created anew in the program's folder.
  static LogSink log;
  DebugLogBind(&log, &session.startup.codePage);
  if (options.debugLog) {
    DebugLogOpen(std::string(sim::kSimProgramFolder) + config.Config.RwDebugFile);
  }
  {
    const TSmbiosBase smbios(*session.client, session.startup.codePage);
    QuerySmbios(smbios);
  }
  {
    TAcpiBase acpi(*session.client, config);
    QueryAcpi(acpi);
  }
  DebugLogClose();
  if (session.driver.LiveViews() != 0 || session.startup.world.process.LiveViewCount() != 0) {
    Fault("a memory mapping outlived its read");
  }
  FirmwareRunResult result;
  result.mapsRequested = session.driver.Maps();
  result.budgetExhausted = session.driver.Maps() > options.mapBudget;
  if (Verbose()) {
    std::fprintf(stderr, "%u map request(s)%s\n", result.mapsRequested,
                 result.budgetExhausted ? ", budget exhausted" : "");
  }
  return result;
}

}  // namespace velmora::fuzz
