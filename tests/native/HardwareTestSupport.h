// A window on every device request the driver client sends.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sim/ForwardingFiles.h"
#include "sim/SimStartup.h"
#include "sim/board/WatchedMachine.h"

namespace velmora::hwtest {

namespace dp = driver_protocol;

// Forwards to the simulated Windows and records the requests; chosen codes can be refused. With
// `readAnywhere` set, reads and the control byte are answered here from that machine instead, by
// a driver that reads every byte outside `unreadable`: for the client's own arithmetic (search
// positions, windows, logging) on boards without firmware tables.
class RecordingIo : public sim::ForwardingFiles {
 public:
  explicit RecordingIo(IFiles& inner) : ForwardingFiles(&inner) {}

  struct Access {
    std::uint64_t physical;
    std::uint32_t length;  // 0: a 9x map, which carries none
  };
  std::vector<Access> reads;  // NT reads and 9x maps
  std::vector<std::uint32_t> codes;
  std::set<std::uint32_t> refused;
  sim::SimMachine* readAnywhere = nullptr;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> unreadable;  // [first, end)

  bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                       void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    codes.push_back(code);
    std::uint32_t words[3] = {0, 0, 0};
    if (in != nullptr) std::memcpy(words, in, std::min<std::uint32_t>(inSize, 12));
    const std::uint64_t physical = words[0] | (std::uint64_t{words[1]} << 32);
    if (code == dp::IOCTL_READ_PHYSICAL_MEMORY) reads.push_back({physical, words[2]});
    if (code == dp::IOCTL_MAP_PHYSICAL_MEMORY) reads.push_back({words[0], 0});
    if (refused.count(code) != 0) return false;
    if (readAnywhere != nullptr && code == dp::IOCTL_READ_PHYSICAL_MEMORY) {
      if (!Readable(physical, words[2]) || outSize < words[2]) return false;
      readAnywhere->ReadPhysical(physical, out, words[2]);
      if (returned != nullptr) *returned = words[2];
      return true;
    }
    if (readAnywhere != nullptr && code == dp::IOCTL_READABLE_RANGES) return Ranges(out, returned);
    if (readAnywhere != nullptr && code == dp::IOCTL_UPDATE_CONTROL_BYTE) {
      if (!Readable(physical, 1)) return false;
      dp::ControlByteRequest request;
      std::memcpy(&request, in, sizeof request);
      readAnywhere->ReadPhysical(physical, &request.before, 1);
      request.after = static_cast<std::uint8_t>((request.before | request.setBits) & ~request.clearBits);
      readAnywhere->WritePhysical(physical, &request.after, 1);
      std::memcpy(out, &request, sizeof request);
      return true;
    }
    return ForwardingFiles::DeviceIoControl(device, code, in, inSize, out, outSize, returned);
  }
  std::size_t Count(std::uint32_t code) const {
    std::size_t n = 0;
    for (std::uint32_t c : codes) n += c == code;
    return n;
  }

 private:
  bool Readable(std::uint64_t physical, std::uint32_t length) const {
    for (const auto& [first, end] : unreadable) {
      if (physical < end && first < physical + length) return false;
    }
    return true;
  }
  // Everything below 4 GiB but the unreadable ranges, in address order.
  bool Ranges(void* out, std::uint32_t* returned) {
    std::vector<std::uint8_t> answer(8);
    std::uint64_t at = 0;
    auto add = [&](std::uint64_t end) {
      if (end <= at) return;
      const dp::ReadableRange range{static_cast<std::uint32_t>(at), 0,
                                    static_cast<std::uint32_t>(end - at), 0};
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(&range);
      answer.insert(answer.end(), bytes, bytes + sizeof range);
    };
    auto gaps = unreadable;
    std::sort(gaps.begin(), gaps.end());
    for (const auto& [first, end] : gaps) {
      add(first);
      at = std::max(at, end);
    }
    add(0xFFFFFFFF);
    const std::uint32_t count = static_cast<std::uint32_t>((answer.size() - 8) / 16);
    std::memcpy(answer.data(), &count, 4);
    std::memcpy(out, answer.data(), answer.size());
    if (returned != nullptr) *returned = static_cast<std::uint32_t>(answer.size());
    return true;
  }
};

// A machine whose firmware table provider holds these tables (by table id) and nothing else.
class FixedProvider : public sim::WatchedMachine {
 public:
  FixedProvider(sim::SimMachine& inner, std::map<std::uint32_t, std::vector<std::uint8_t>> tables)
      : WatchedMachine(inner, std::nullopt, nullptr), tables_(std::move(tables)) {}
  std::optional<std::vector<std::uint8_t>> FirmwareTable(std::uint32_t, std::uint32_t id) override {
    const auto found = tables_.find(id);
    return found == tables_.end() ? std::nullopt : std::optional(found->second);
  }

 private:
  std::map<std::uint32_t, std::vector<std::uint8_t>> tables_;
};

// A driver client on a simulated Windows over the given board, the debug log on, every device
// request recorded.
class HardwareRig : public sim::SimStartup {
 public:
  HardwareRig(sim::SimMachine& board, sim::SimWindowsRelease release, const std::string& ini)
      : SimStartup(board, std::move(release), "[Config]\r\nRwDebug=1\r\n" + ini, &io),
        io(world.io) {
    Configure();
  }

  TReadWrite& Connect() { return ConnectDriver(); }

  RecordingIo io;
};

}  // namespace velmora::hwtest
