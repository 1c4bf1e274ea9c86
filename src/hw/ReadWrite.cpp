#include "hw/ReadWrite.h"

#include <algorithm>
#include <cstring>

#include "config/DebugLog.h"
#include "hw/HexText.h"

namespace velmora {
namespace dp = driver_protocol;

namespace {

constexpr std::uint32_t kWindowSize = 256;  // memory is read through 256-byte mapped windows
constexpr std::uint32_t kWindowMask = 0xFFFFFF00;

// The memory-mapped configuration window is looked for at these bases, from the top down.
constexpr std::uint32_t kHighestPcieCandidate = 0xFE000000;
constexpr std::uint32_t kPcieCandidateStep = 0x2000000;
constexpr std::uint32_t kPcieCandidateFloor = 0xD0000000;

std::uint32_t AllOnes(unsigned width) {
  return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}

}  // namespace

TReadWrite::TReadWrite(TInitFile& config, const HardwarePorts& ports)
    : TLoadDriver(ports.host, config.OsVersion->OsType),
      osType_(config.OsVersion->OsType),
      files_(ports.host.files),
      memory_(ports.memory),
      processor_(ports.processor),
      firmwareTables_(ports.host.system) {
  if (DeviceHandle() == kInvalidHandleValue) return;
  if (NtPath()) LoadReadableRanges();
  if (config.Config.DetectPCIEBase != 0) {
    DetectPcieBase();
    config.Config.PCIEBaseAddress = PcieBase;
  } else {
    PcieBase = config.Config.PCIEBaseAddress == 0 ? kNoAddress : config.Config.PCIEBaseAddress;
  }
}

TReadWrite::~TReadWrite() = default;

DriverRequestCounts DriverRequestCounts::operator-(const DriverRequestCounts& o) const {
  return {read - o.read,   ranges - o.ranges,   controlByte - o.controlByte, map - o.map,
          unmap - o.unmap, pciByte - o.pciByte, pciWord - o.pciWord,         pciDword - o.pciDword};
}

DriverRequestCounts DriverRequestCounts::operator+(const DriverRequestCounts& o) const {
  return {read + o.read,   ranges + o.ranges,   controlByte + o.controlByte, map + o.map,
          unmap + o.unmap, pciByte + o.pciByte, pciWord + o.pciWord,         pciDword + o.pciDword};
}

bool TReadWrite::Request(std::uint32_t code, void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* returned) {
  switch (code) {
    case dp::IOCTL_READ_PHYSICAL_MEMORY:
      ++requests_.read;
      break;
    case dp::IOCTL_READABLE_RANGES:
      ++requests_.ranges;
      break;
    case dp::IOCTL_UPDATE_CONTROL_BYTE:
      ++requests_.controlByte;
      break;
    case dp::IOCTL_MAP_PHYSICAL_MEMORY:
      ++requests_.map;
      break;
    case dp::IOCTL_UNMAP_PHYSICAL_MEMORY:
      ++requests_.unmap;
      break;
    case dp::IOCTL_PCI_CONFIG_READ_BYTE:
      ++requests_.pciByte;
      break;
    case dp::IOCTL_PCI_CONFIG_READ_WORD:
      ++requests_.pciWord;
      break;
    default:
      ++requests_.pciDword;
      break;
  }
  std::uint32_t ignored = 0;
  return files_.DeviceIoControl(DeviceHandle(), code, in, inSize, out, outSize,
                                returned != nullptr ? returned : &ignored);
}

// The list of what the driver reads, merged and in address order, asked for once: the pattern
// search reads only those bytes. Ranges above 4 GiB are out of this client's reach and left out.
void TReadWrite::LoadReadableRanges() {
  constexpr std::uint32_t kMostRanges = 256;
  std::vector<std::uint8_t> answer(sizeof(dp::ReadableRangesHeader) +
                                   kMostRanges * sizeof(dp::ReadableRange));
  std::uint32_t returned = 0;
  if (!Request(dp::IOCTL_READABLE_RANGES, nullptr, 0, answer.data(),
               static_cast<std::uint32_t>(answer.size()), &returned) ||
      returned < sizeof(dp::ReadableRangesHeader)) {
    return;
  }
  dp::ReadableRangesHeader header;
  std::memcpy(&header, answer.data(), sizeof header);
  const std::uint32_t listed = (returned - sizeof header) / sizeof(dp::ReadableRange);
  for (std::uint32_t i = 0; i < std::min(header.count, listed); ++i) {
    dp::ReadableRange range;
    std::memcpy(&range, answer.data() + sizeof header + i * sizeof range, sizeof range);
    const std::uint64_t base = range.baseLow | (std::uint64_t{range.baseHigh} << 32);
    if (base > 0xFFFFFFFFu) continue;
    readable_.push_back({base, base + range.length});
  }
  readableKnown_ = true;
}

ProcessAddress TReadWrite::MapPhysicalMemory(std::uint32_t address, std::uint32_t) {
  if (NtPath()) return 0;
  // The virtual device driver maps the one 4 KiB page holding the address and writes the
  // linear address of that byte over the request.
  std::uint32_t io = address;
  if (!Request(dp::IOCTL_MAP_PHYSICAL_MEMORY, &io, 4, &io, 4, nullptr)) return 0;
  return io;
}

bool TReadWrite::UnmapPhysicalMemory(ProcessAddress pointer) {
  std::uint32_t io = pointer;
  if (!Request(dp::IOCTL_UNMAP_PHYSICAL_MEMORY, &io, 4, nullptr, 0, nullptr)) {
    DebugLogWrite("RW: Unmap Memory Error");
    return false;
  }
  return true;
}

// The driver copies into the request's own buffer, at most 64 KiB at a time.
bool TReadWrite::ReadPhysical(std::uint64_t address, std::uint8_t* destination,
                              std::uint32_t length) {
  while (length != 0) {
    const std::uint32_t piece = std::min(length, dp::kMaxReadLength);
    dp::ReadPhysicalRequest request{static_cast<std::uint32_t>(address),
                                    static_cast<std::uint32_t>(address >> 32), piece};
    std::uint32_t returned = 0;
    if (!Request(dp::IOCTL_READ_PHYSICAL_MEMORY, &request, sizeof request, destination, piece,
                 &returned) ||
        returned != piece) {
      DebugLogWrite("RW: Map Memory Error: " + Hex(static_cast<std::uint32_t>(address), 8));
      return false;
    }
    address += piece;
    destination += piece;
    length -= piece;
  }
  return true;
}

bool TReadWrite::ReadBytes(std::uint32_t address, void* destination, std::uint32_t length) {
  if (NtPath()) return ReadPhysical(address, static_cast<std::uint8_t*>(destination), length);
  const ProcessAddress view = MapPhysicalMemory(address, length);
  if (view == 0) return false;
  memory_.Read(view, destination, length);
  UnmapPhysicalMemory(view);
  return true;
}

std::uint8_t TReadWrite::MemoryReadByte(std::uint32_t address) {
  std::uint8_t value = 0xFF;
  TryMemoryReadByte(address, value);
  return value;
}

bool TReadWrite::TryMemoryReadByte(std::uint32_t address, std::uint8_t& value) {
  value = 0xFF;
  const bool read = ReadBytes(address, &value, 1);
  if (!read) value = 0xFF;
  DebugLogWrite("RW: MemoryReadByte " + Hex(address, 8) + "=" + Hex(value, 2));
  return read;
}

std::uint32_t TReadWrite::MemoryReadDword(std::uint32_t address) {
  std::uint32_t value = 0xFFFFFFFF;
  if (!ReadBytes(address, &value, 4)) value = 0xFFFFFFFF;
  DebugLogWrite("RW: MemoryReadDword " + Hex(address, 8) + "=" + Hex(value, 8));
  return value;
}

bool TReadWrite::MemoryWriteByte(std::uint32_t address, std::uint8_t value) {
  DebugLogWrite("RW: MemoryWriteByte " + Hex(address, 8) + "=" + Hex(value, 2));
  const ProcessAddress view = MapPhysicalMemory(address, 1);
  if (view == 0) return false;
  memory_.Write(view, &value, 1);
  UnmapPhysicalMemory(view);
  return true;
}

bool TReadWrite::MemoryUpdateByte(std::uint32_t address, std::uint8_t setBits,
                                  std::uint8_t clearBits, std::uint8_t& before) {
  if (!NtPath()) {
    return TryMemoryReadByte(address, before) &&
           MemoryWriteByte(address, static_cast<std::uint8_t>((before | setBits) & ~clearBits));
  }
  dp::ControlByteRequest request{address, 0, setBits, clearBits, 0, 0};
  if (!Request(dp::IOCTL_UPDATE_CONTROL_BYTE, &request, sizeof request, &request, sizeof request,
               nullptr)) {
    DebugLogWrite("RW: Map Memory Error: " + Hex(address, 8));
    before = 0xFF;
    DebugLogWrite("RW: MemoryReadByte " + Hex(address, 8) + "=" + Hex(before, 2));
    return false;
  }
  before = request.before;
  DebugLogWrite("RW: MemoryReadByte " + Hex(address, 8) + "=" + Hex(request.before, 2));
  DebugLogWrite("RW: MemoryWriteByte " + Hex(address, 8) + "=" + Hex(request.after, 2));
  return true;
}

bool TReadWrite::MemoryReadBlock(std::uint32_t address, void* buffer, std::uint32_t length,
                                 int width) {
  const std::uint32_t unit = width == 2 ? 2 : width == 3 ? 4 : 1;
  if (length % unit != 0) return false;
  // The NT driver copies in double words wherever the range allows it.
  if (NtPath()) return ReadPhysical(address, static_cast<std::uint8_t*>(buffer), length);
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::uint32_t offset = address & 0xFF;
  std::uint32_t window = address & kWindowMask;
  while (length != 0) {
    const ProcessAddress view = MapPhysicalMemory(window, kWindowSize);
    if (view == 0) return false;
    const std::uint32_t count = std::min(length, kWindowSize - offset);
    if (unit == 1) {
      memory_.Read(view + offset, out, count);
    } else {
      // Device memory wants accesses of the chosen width, so copy unit by unit.
      for (std::uint32_t done = 0; done < count; done += unit) {
        memory_.Read(view + offset + done, out + done, unit);
      }
    }
    UnmapPhysicalMemory(view);
    out += count;
    length -= count;
    window += kWindowSize;
    offset = 0;
  }
  return true;
}

std::uint32_t TReadWrite::MemoryFindString(std::uint32_t start, std::uint32_t length,
                                           const char* pattern, std::uint32_t skip,
                                           std::uint32_t step) {
  return MemoryFindPattern(start, length, static_cast<std::uint32_t>(std::strlen(pattern)),
                           reinterpret_cast<const std::uint8_t*>(pattern), skip, step);
}

// Where the pattern search takes a window's bytes from, and which of them it could read. With
// the NT driver's list of what it reads: only those bytes, each range read ahead in pieces of up
// to 64 KiB (a search through the BIOS area is two requests), and nothing asked for that the
// driver would refuse. Otherwise (9x, or no list): the window read whole, all or nothing.
class TReadWrite::SearchSource {
 public:
  explicit SearchSource(TReadWrite& rw) : rw_(rw) {}

  void Fill(std::uint32_t address, std::uint32_t size, std::uint8_t* bytes, bool* read) {
    if (!rw_.readableKnown_) {
      std::fill(read, read + size, rw_.MemoryReadBlock(address, bytes, size));
      return;
    }
    std::fill(read, read + size, false);
    const std::uint64_t end = std::uint64_t{address} + size;
    for (const ReadableRange& range : rw_.readable_) {
      const std::uint64_t first = std::max<std::uint64_t>(address, range.base);
      const std::uint64_t last = std::min(end, range.end);
      if (first >= last) continue;
      if (!Cover(first, last, range.end)) continue;
      std::copy_n(piece_.data() + (first - pieceBase_), last - first, bytes + (first - address));
      std::fill(read + (first - address), read + (last - address), true);
    }
  }

 private:
  // Makes the piece in hand cover [first, last): a read ahead to the range's end (at most
  // 64 KiB), or, where such a read was refused (RAM shares a page with the range), exactly
  // these bytes.
  bool Cover(std::uint64_t first, std::uint64_t last, std::uint64_t rangeEnd) {
    if (pieceBase_ <= first && last <= pieceBase_ + piece_.size()) return true;
    const bool ahead = !(refusedBase_ <= first && first < refusedEnd_);
    const std::uint64_t end = ahead ? std::min(rangeEnd, first + dp::kMaxReadLength) : last;
    piece_.resize(end - first);
    pieceBase_ = first;
    if (rw_.ReadPhysical(first, piece_.data(), static_cast<std::uint32_t>(piece_.size()))) {
      return true;
    }
    piece_.clear();
    if (ahead) {
      refusedBase_ = first;
      refusedEnd_ = end;
      return Cover(first, last, rangeEnd);
    }
    return false;
  }

  TReadWrite& rw_;
  std::vector<std::uint8_t> piece_;
  std::uint64_t pieceBase_ = 0;
  std::uint64_t refusedBase_ = 0;
  std::uint64_t refusedEnd_ = 0;
};

namespace {

// Compares every candidate of one window whose bytes were all read; cursor follows the
// candidates' physical addresses.
bool FindInWindow(const std::uint8_t* window, const bool* read, std::uint32_t windowSize,
                  std::uint32_t patternLength, const std::uint8_t* pattern, std::uint32_t step,
                  std::uint32_t& cursor, std::uint32_t& skip) {
  if (windowSize < patternLength) return false;
  for (std::uint64_t at = 0; at <= windowSize - patternLength; at += step) {
    if (std::all_of(read + at, read + at + patternLength, [](bool b) { return b; }) &&
        std::memcmp(window + at, pattern, patternLength) == 0) {
      if (skip == 0) return true;
      --skip;
    }
    cursor += step;
  }
  return false;
}

}  // namespace

std::uint32_t TReadWrite::MemoryFindPattern(std::uint32_t start, std::uint32_t length,
                                            std::uint32_t patternLength,
                                            const std::uint8_t* pattern, std::uint32_t skip,
                                            std::uint32_t step) {
  if (step == 0) step = 1;
  // A pattern of a whole window or more can never lie inside one, and would never let the
  // remaining count shrink: no search.
  if (length == 0 || patternLength >= kWindowSize) return kNoAddress;
  SearchSource source(*this);
  std::uint32_t cursor = start;
  std::uint32_t remaining = length;
  std::uint8_t window[kWindowSize];
  bool read[kWindowSize];
  do {
    std::uint32_t windowSize;
    if (remaining >= kWindowSize) {
      windowSize = kWindowSize;
      remaining -= kWindowSize - patternLength;
    } else {
      windowSize = remaining;
      remaining = 0;
    }
    // Candidates whose bytes could not be read are passed over: they are never compared against
    // bytes that did not come from the range.
    source.Fill(cursor, windowSize, window, read);
    if (FindInWindow(window, read, windowSize, patternLength, pattern, step, cursor, skip)) {
      return cursor;
    }
  } while (remaining != 0);
  return kNoAddress;
}

std::uint32_t TReadWrite::PciRead(std::uint32_t code, unsigned width, std::uint8_t bus,
                                  std::uint8_t device, std::uint16_t reg, std::uint8_t function) {
  std::uint32_t value;
  if (NtPath()) {
    PciRequest.bus = bus;
    PciRequest.device = device;
    PciRequest.function = function;
    PciRequest.offset = reg;
    // A rejected request answers like a function that is not there (all ones), never with the
    // value a previous request left in the record.
    if (Request(code, &PciRequest, sizeof PciRequest, &PciRequest, sizeof PciRequest,
                &PciBytesReturned)) {
      value = PciRequest.value & AllOnes(width);
    } else {
      value = AllOnes(width);
    }
  } else {
    LegacyConfigAddress = dp::PciConfigAddress(bus, device, function, reg);
    LegacyDataPort = dp::PciConfigDataPort(reg);
    processor_.OutDword(dp::kPciConfigAddressPort, LegacyConfigAddress);
    value = width == 1   ? processor_.InByte(LegacyDataPort)
            : width == 2 ? processor_.InWord(LegacyDataPort)
                         : processor_.InDword(LegacyDataPort);
  }
  static const char* const kNames[] = {"", "RW: PciReadByte ", "RW: PciReadWord ", "",
                                       "RW: PciReadDword "};
  DebugLogWrite(kNames[width] + Hex(bus, 2) + "," + Hex(device, 2) + "," + Hex(function, 2) + ", " +
                Hex(reg, 4) + "=" + Hex(value, static_cast<int>(width * 2)));
  return value;
}

std::uint8_t TReadWrite::PciReadByte(std::uint8_t bus, std::uint8_t device, std::uint16_t reg,
                                     std::uint8_t function) {
  return static_cast<std::uint8_t>(
      PciRead(dp::IOCTL_PCI_CONFIG_READ_BYTE, 1, bus, device, reg, function));
}

std::uint16_t TReadWrite::PciReadWord(std::uint8_t bus, std::uint8_t device, std::uint16_t reg,
                                      std::uint8_t function) {
  return static_cast<std::uint16_t>(
      PciRead(dp::IOCTL_PCI_CONFIG_READ_WORD, 2, bus, device, reg, function));
}

std::uint32_t TReadWrite::PciReadDword(std::uint8_t bus, std::uint8_t device, std::uint16_t reg,
                                       std::uint8_t function) {
  return PciRead(dp::IOCTL_PCI_CONFIG_READ_DWORD, 4, bus, device, reg, function);
}

std::uint32_t TReadWrite::PciExpressReadDword(std::uint8_t bus, std::uint8_t device,
                                              std::uint16_t reg, std::uint8_t function) {
  if (PcieBase == kNoAddress) {
    return reg < 0x100 ? PciReadDword(bus, device, reg & 0xFF, function) : 0xFFFFFFFF;
  }
  PcieAddress = PcieBase + (std::uint32_t{bus} << 20) + (std::uint32_t{device} << 15) +
                (std::uint32_t{function} << 12) + (reg & 0xFFCu);
  return MemoryReadDword(PcieAddress);
}

void TReadWrite::DetectPcieBase() {
  DebugLogWrite("RW: Detect PCIE Memory Base");
  PcieBase = kNoAddress;
  for (unsigned bus = 0; bus <= 255; ++bus) {
    for (std::uint8_t device = 0; device < 32; ++device) {
      const auto b = static_cast<std::uint8_t>(bus);
      const std::uint32_t id = PciReadDword(b, device, 0, 0);
      if (id == 0xFFFFFFFF) continue;
      // Only the first device that answers is probed: its id and class through the legacy
      // path, then through each candidate window.
      const std::uint32_t classCode = PciReadDword(b, device, 8, 0);
      for (std::uint32_t base = kHighestPcieCandidate; base > kPcieCandidateFloor;
           base -= kPcieCandidateStep) {
        PcieBase = base;
        if (PciExpressReadDword(b, device, 0, 0) == id &&
            PciExpressReadDword(b, device, 8, 0) == classCode) {
          DebugLogWrite("RW: PCIE Memory Base: " + Hex(base, 8));
          return;
        }
      }
      PcieBase = kNoAddress;
      return;
    }
  }
}

bool TReadWrite::ExecuteCpuId(CpuIdRegisters& registers) {
  const std::uint32_t leaf = registers.eax;
  registers = processor_.CpuId(leaf);
  DebugLogWrite("RW: ExecuteCpuId " + Hex(leaf, 8) + "=" + Hex(registers.eax, 8) + "," +
                Hex(registers.ebx, 8) + "," + Hex(registers.ecx, 8) + "," + Hex(registers.edx, 8));
  return true;
}

}  // namespace velmora
